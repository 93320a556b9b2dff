#include "models/SizeText.h"

#include "models/ModelTexts.h"

#include <algorithm>
#include <iterator>

namespace {
QString ScaledText(double value) {
    int unit = 0;
    const int last = static_cast<int>(std::size(modeltexts::kSizeUnits)) - 1;
    while (value >= 1024.0 && unit < last) {
        value /= 1024.0;
        ++unit;
    }
    const QString number =
        unit == 0 ? QString::number(static_cast<long long>(value)) : QString::number(value, 'f', 1);
    return number + QLatin1Char(' ') + QString::fromLatin1(modeltexts::kSizeUnits[unit]);
}
} // namespace

QString SizeWithUnits(long long bytes) {
    return ScaledText(static_cast<double>(std::max(bytes, 0LL)));
}

QString RateWithUnits(double bytesPerSecond) {
    return ScaledText(std::max(bytesPerSecond, 0.0)) + QString::fromLatin1(modeltexts::kPerSecond);
}

QString ProgressWithUnits(long long bytes, long long total) {
    QString text = SizeWithUnits(bytes);
    if (total > 0) {
        const long long share = std::clamp(bytes, 0LL, total) * 100 / total;
        text += QString::fromLatin1(modeltexts::kShareOpen) + QString::number(share) +
                QString::fromLatin1(modeltexts::kShareClose);
    }
    return text;
}

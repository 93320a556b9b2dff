#include "TempDir.h"

#include <QDir>

namespace testing_support {

TempDir::TempDir() : dir_(QDir::tempPath() + "/vexa-test-XXXXXX") {}

std::string TempDir::Path() const {
    return dir_.path().toStdString() + "/";
}

} // namespace testing_support

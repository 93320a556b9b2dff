#include "tools/FtpPlainReasons.h"

#include "ftpclient/ClientTexts.h"
#include "tools/FtpTexts.h"

#include <utility>

namespace {

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.rfind(prefix, 0) == 0;
}

// Texts the engine composes itself that begin with a reply code, as if the
// server had said them.
bool ComposedWithCode(const std::string& text) {
    using namespace ftpclient_texts;
    for (const char* prefix :
         {kConnectionLost, kLocalWriteFailed, kLocalReadFailed, kShortDownloadPrefix,
          kDataConnectionFailed, kOperationAborted, kTransmitCancelled, kTimeout})
        if (StartsWith(text, prefix))
            return true;
    // "500 " + a socket or name lookup failure + " (Winsock error #N)".
    return StartsWith(text, kSocketErrorReplyPrefix) &&
           text.find(kSocketErrorReplyMiddle) != std::string::npos;
}

// Removes every " (Winsock error #N)" and the engine's "error #N" tails.
std::string WithoutErrorNumbers(std::string text) {
    using namespace ftpclient_texts;
    for (std::size_t at = text.find(kSocketErrorReplyMiddle); at != std::string::npos;
         at = text.find(kSocketErrorReplyMiddle, at)) {
        const std::size_t close = text.find(kSocketErrorReplySuffix, at);
        text.erase(at, close == std::string::npos ? std::string::npos : close - at + 1);
    }
    return text;
}

} // namespace

std::string PlainReason(const std::string& reason) {
    using namespace ftpclient_texts;
    using namespace ftptool_texts;
    std::string text = reason;
    if (ComposedWithCode(text))
        text = text.substr(4);
    text = WithoutErrorNumbers(std::move(text));
    // A data connection that could not be opened: the number says nothing.
    const std::string dataError = kDataConnectionError;
    if (const std::size_t at = text.find(dataError); at != std::string::npos) {
        std::size_t end = at + dataError.size();
        while (end < text.size() && text[end] >= '0' && text[end] <= '9')
            ++end;
        text.replace(at, end - at, kPlainDataConnection);
    }
    const std::pair<const char*, const char*> internal[] = {
        {kNotConnected, kPlainNotConnected},
        {kAlreadyConnected, kPlainAlreadyConnected},
        {kNotReady, kPlainNotReady},
    };
    for (const auto& [engine, plain] : internal)
        for (std::size_t at = text.find(engine); at != std::string::npos; at = text.find(engine))
            text.replace(at, std::string(engine).size(), plain);
    return text;
}

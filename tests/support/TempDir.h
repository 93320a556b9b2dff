#pragma once
#include <QTemporaryDir>
#include <string>

namespace testing_support {

// A temporary folder removed at the end of the test; Path() ends in "/".
class TempDir {
public:
    TempDir();
    std::string Path() const;
    std::string File(const std::string& name) const { return Path() + name; }

private:
    QTemporaryDir dir_;
};

} // namespace testing_support

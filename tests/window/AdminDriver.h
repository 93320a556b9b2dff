#pragma once
// Driving the settings tabs as a user would, and asking a real FTP client
// what the running server then allows.
#include "WindowEnv.h"

#include "support/Peers.h"
#include "window/SettingsPage.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <string>
#include <vector>

namespace testing_support {

// The settings page's tab of that index shown (3 "User Admin", 4 "Group Admin").
inline QWidget* ShowSettingsTab(WindowEnv& env, int index) {
    TForm1& w = *env.window;
    w.Pages()->setCurrentWidget(w.SettingsTab());
    w.SettingsTab()->Tabs()->setCurrentIndex(index);
    RunLoopFor(20);
    return w.SettingsTab()->Tabs()->widget(index);
}

template <class W> W* Named(QWidget* root, const QString& name) {
    W* widget = root->findChild<W*>(name);
    EXPECT_NE(widget, nullptr) << name.toStdString();
    return widget;
}

// The texts of a list's rows, in screen order.
inline std::vector<std::string> Rows(QAbstractItemView* view) {
    std::vector<std::string> rows;
    for (int row = 0; row < view->model()->rowCount(); ++row)
        rows.push_back(view->model()->index(row, 0).data().toString().toStdString());
    return rows;
}

// A mouse click on the row of a list that shows text; false when none does.
inline bool ClickRow(QAbstractItemView* view, const std::string& text) {
    for (int row = 0; row < view->model()->rowCount(); ++row) {
        const QModelIndex index = view->model()->index(row, 0);
        if (index.data().toString().toStdString() == text) {
            view->scrollTo(index);
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                              view->visualRect(index).center());
            return true;
        }
    }
    return false;
}

inline bool ClickRow(QAbstractItemView* view, int row) {
    if (row >= view->model()->rowCount())
        return false;
    const QModelIndex index = view->model()->index(row, 0);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
    return true;
}

// The next file dialog that opens (a folder picker, a save dialog) is
// answered with path; one that is still open after the watchdog is
// cancelled, so no test hangs on it. title receives its title.
inline void AnswerFileDialog(const std::string& path, QString* title = nullptr) {
    QTimer::singleShot(0, [path, title] {
        RunLoopUntil([path, title] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr)
                return false;
            if (title != nullptr)
                *title = dialog->windowTitle();
            dialog->setDirectory(QString::fromStdString(path));
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
                ->setText(QString::fromStdString(path));
            static_cast<QDialog*>(dialog)->accept();
            return true;
        });
        if (QWidget* left = QApplication::activeModalWidget())
            if (auto* dialog = qobject_cast<QDialog*>(left))
                dialog->reject();
    });
}

// tests/window/ftp_check.py against the running server: its output lines.
inline std::vector<std::string> FtpCheck(int port, const std::string& user,
                                         const std::string& password,
                                         const std::vector<std::string>& steps = {}) {
    std::vector<std::string> args = {VEXA_SOURCE_DIR "/tests/window/ftp_check.py",
                                     std::to_string(port), user, password};
    args.insert(args.end(), steps.begin(), steps.end());
    const CommandResult r = RunCommandServing("/usr/bin/python3", args, 60000);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t nl; (nl = r.out.find('\n', start)) != std::string::npos; start = nl + 1)
        lines.push_back(r.out.substr(start, nl - start));
    return lines;
}

inline bool HasLine(const std::vector<std::string>& lines, const std::string& prefix) {
    for (const auto& line : lines)
        if (line.rfind(prefix, 0) == 0)
            return true;
    return false;
}

} // namespace testing_support

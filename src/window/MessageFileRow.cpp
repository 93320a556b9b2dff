#include "window/MessageFileRow.h"

#include "accounts/MessageFile.h"
#include "app/AppTexts.h"
#include "base/Prompts.h"
#include "base/StoredFile.h"
#include "window/PathRow.h"
#include "window/WindowTexts.h"

#include <QDialog>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
QString L(const char* text) {
    return QString::fromLatin1(text);
}

// The save dialog for a new message file; empty when cancelled.
QString AskNewFile(QWidget* parent, const char* title, const std::string& dataFolder) {
    QFileDialog dialog(parent->window(), L(title), QString::fromStdString(dataFolder));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.setNameFilters({L(wintexts::kTextFilesFilter), L(wintexts::kAllFilesFilter)});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front();
}
} // namespace

void EditMessageFile(QWidget* parent, const QString& path, Prompts& prompts) {
    auto* dialog = new QDialog(parent->window());
    dialog->setObjectName(QStringLiteral("MessageEditor"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(path);
    auto* layout = new QVBoxLayout(dialog);
    auto* text = new QPlainTextEdit(dialog);
    std::string bytes;
    // A file that is not there yet starts empty; Save creates it.
    if (stored_file::ReadWhole(path.toStdString(), bytes) == 0)
        text->setPlainText(QString::fromStdString(bytes));
    layout->addWidget(text, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* save = new QPushButton(L(wintexts::kMessageSave), dialog);
    auto* close = new QPushButton(L(wintexts::kMessageClose), dialog);
    buttons->addWidget(save);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    QObject::connect(save, &QPushButton::clicked, dialog, [dialog, text, path, &prompts] {
        const std::string file = path.toStdString();
        if (int error = stored_file::WriteWhole(file, text->toPlainText().toStdString())) {
            prompts.InformLater(
                apptexts::kInformationTitle,
                wintexts::kCouldNotCreate + file + ": " + stored_file::ErrorText(error), nullptr);
            return;
        }
        dialog->accept();
    });
    QObject::connect(close, &QPushButton::clicked, dialog, &QDialog::reject);
    dialog->resize(480, 320);
    dialog->open();
}

QWidget* MakeMessageFileRow(SettingBinder& binder, const char* key, const char* createTitle,
                            const std::string& dataFolder, Prompts& prompts, QWidget* parent) {
    QWidget* row = MakePathRow(binder, key, PathKind::MessageFile, parent);
    auto* edit = row->findChild<QLineEdit*>(L(key));
    auto* create = row->findChild<QToolButton*>(L(key) + "Create");
    create->setEnabled(true);
    QObject::connect(
        create, &QToolButton::clicked, row, [row, edit, createTitle, dataFolder, &prompts] {
            QString path = edit->text();
            if (path.isEmpty()) {
                path = AskNewFile(row, createTitle, dataFolder);
                if (path.isEmpty())
                    return;
                edit->setText(path);
                emit edit->textEdited(path);
                if (!accounts::CreateMessageFile(path.toStdString())) {
                    prompts.InformLater(apptexts::kInformationTitle,
                                        wintexts::kCouldNotCreate + path.toStdString(), nullptr);
                    return;
                }
            }
            EditMessageFile(row, path, prompts);
        });
    return row;
}

#include "window/PathRow.h"

#include "window/SettingBinder.h"
#include "window/WindowTexts.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

QWidget* MakePathRow(SettingBinder& binder, const char* key, PathKind kind, QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    auto* edit = new QLineEdit(row);
    edit->setObjectName(QString::fromLatin1(key));
    binder.Bind(edit, key);
    layout->addWidget(edit, 1);
    auto* browse = new QToolButton(row);
    browse->setText(QStringLiteral("..."));
    browse->setToolTip(QString::fromLatin1(wintexts::kBrowseHint));
    layout->addWidget(browse);
    QObject::connect(browse, &QToolButton::clicked, row, [edit, kind] {
        QFileDialog dialog(edit->window());
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        switch (kind) {
        case PathKind::Folder:
            dialog.setFileMode(QFileDialog::Directory);
            break;
        case PathKind::MessageFile:
            dialog.setWindowTitle(QString::fromLatin1(wintexts::kLocateMessageFile));
            dialog.setNameFilters({QString::fromLatin1(wintexts::kTextFilesFilter),
                                   QString::fromLatin1(wintexts::kAllFilesFilter)});
            dialog.setFileMode(QFileDialog::ExistingFile);
            break;
        case PathKind::LogFile:
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            break;
        }
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return;
        QString path = dialog.selectedFiles().front();
        if (kind == PathKind::Folder && !path.endsWith('/'))
            path += '/';
        edit->setText(path);
        emit edit->textEdited(path);
    });
    if (kind == PathKind::MessageFile) {
        auto* create = new QToolButton(row);
        create->setIcon(row->style()->standardIcon(QStyle::SP_FileIcon));
        create->setToolTip(QString::fromLatin1(wintexts::kCreateHint));
        create->setObjectName(QString::fromLatin1(key) + "Create");
        // Enabled by the page that gives it its action (MessageFileRow).
        create->setEnabled(false);
        layout->addWidget(create);
    }
    return row;
}

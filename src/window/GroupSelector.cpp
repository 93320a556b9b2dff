#include "window/GroupSelector.h"

#include "window/WindowTexts.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

std::vector<std::string> ChooseGroups(QWidget* parent, const std::vector<std::string>& groups) {
    QDialog dialog(parent->window());
    dialog.setObjectName(QStringLiteral("GroupSelector"));
    dialog.setWindowTitle(QString::fromLatin1(wintexts::kGroupSelectorTitle));
    auto* layout = new QVBoxLayout(&dialog);
    auto* list = new QListWidget(&dialog);
    list->setSelectionMode(QAbstractItemView::MultiSelection);
    for (const std::string& name : groups)
        list->addItem(QString::fromStdString(name));
    layout->addWidget(list);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* ok = new QPushButton(QString::fromLatin1(wintexts::kSelectorOk), &dialog);
    auto* cancel = new QPushButton(QString::fromLatin1(wintexts::kSelectorCancel), &dialog);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    dialog.exec();
    std::vector<std::string> chosen;
    for (int row = 0; row < list->count(); ++row)
        if (list->item(row)->isSelected())
            chosen.push_back(list->item(row)->text().toStdString());
    return chosen;
}

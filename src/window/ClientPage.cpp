#include "window/ClientPage.h"

#include "app/AppShell.h"
#include "app/AppSignals.h"
#include "models/ModelTexts.h"
#include "models/RemoteListingModel.h"
#include "window/LogPane.h"
#include "window/WindowTexts.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QLocale>
#include <QSplitter>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
QString L(const char* text) {
    return QString::fromLatin1(text);
}

QToolButton* UpButton(QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setIcon(parent->style()->standardIcon(QStyle::SP_FileDialogToParent));
    button->setToolTip(L(wintexts::kUpHint));
    return button;
}
} // namespace

ClientPage::ClientPage(AppShell& shell, AppSignals& events, QWidget* parent)
    : QWidget(parent), shell_(shell) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);

    // StatusBar4: the encryption indicators.
    auto* indicators = new QStatusBar(this);
    indicators->setSizeGripEnabled(false);
    const char* names[] = {wintexts::kEncryption, wintexts::kStrength, wintexts::kAlgorythm,
                           wintexts::kCommandPortEncryption};
    for (int i = 0; i < 4; ++i) {
        indicators->addWidget(new QLabel(L(names[i]), indicators));
        indicators_[i] = new QLabel(indicators);
        indicators_[i]->setFrameShape(QFrame::Panel);
        indicators_[i]->setFrameShadow(QFrame::Sunken);
        indicators_[i]->setMinimumWidth(i == 3 ? 170 : 70);
        indicators->addWidget(indicators_[i]);
    }
    layout->addWidget(indicators);

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    auto* local = new QWidget(splitter);
    auto* localLayout = new QVBoxLayout(local);
    localLayout->setContentsMargins(0, 0, 0, 0);
    localLayout->setSpacing(1);
    auto* localTop = new QHBoxLayout;
    localPath_ = new QComboBox(local);
    localPath_->setEditable(true);
    auto* localUp = UpButton(local);
    localTop->addWidget(localPath_, 1);
    localTop->addWidget(localUp);
    localLayout->addLayout(localTop);
    localModel_ = new QStandardItemModel(this);
    localViews_ = new QStackedWidget(local);
    localReport_ = new QTreeView(localViews_);
    localReport_->setModel(localModel_);
    localReport_->setRootIsDecorated(false);
    localList_ = new QListView(localViews_);
    localList_->setModel(localModel_);
    localList_->setViewMode(QListView::ListMode);
    localList_->setFlow(QListView::TopToBottom);
    localList_->setWrapping(true);
    localList_->setResizeMode(QListView::Adjust);
    localViews_->addWidget(localReport_);
    localViews_->addWidget(localList_);
    localLayout->addWidget(localViews_, 1);
    connect(localUp, &QToolButton::clicked, this, [this] {
        QDir dir(localPath_->currentText());
        if (dir.cdUp())
            ShowLocalFolder(dir.absolutePath());
    });
    connect(localReport_, &QTreeView::activated, this, [this](const QModelIndex& index) {
        const QString path = localModel_->item(index.row())->data(Qt::UserRole).toString();
        if (QFileInfo(path).isDir())
            ShowLocalFolder(path);
    });
    connect(localList_, &QListView::activated, localReport_, &QTreeView::activated);

    auto* remote = new QWidget(splitter);
    auto* remoteLayout = new QVBoxLayout(remote);
    remoteLayout->setContentsMargins(0, 0, 0, 0);
    remoteLayout->setSpacing(1);
    auto* remoteTop = new QHBoxLayout;
    remotePath_ = new QComboBox(remote);
    remoteUp_ = UpButton(remote);
    remoteTop->addWidget(remotePath_, 1);
    remoteTop->addWidget(remoteUp_);
    remoteLayout->addLayout(remoteTop);
    remoteList_ = new QTreeView(remote);
    remoteModel_ = new RemoteListingModel(shell.Client(), events, this);
    remoteList_->setModel(remoteModel_);
    remoteList_->setRootIsDecorated(false);
    remoteList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    remoteLayout->addWidget(remoteList_, 1);
    connect(remoteUp_, &QToolButton::clicked, this, [this] { shell_.Client().Up(); });
    splitter->addWidget(local);
    splitter->addWidget(remote);
    layout->addWidget(splitter, 1);

    // The transfer queue with its two status bars.
    queuePanel_ = new QWidget(this);
    auto* queueLayout = new QVBoxLayout(queuePanel_);
    queueLayout->setContentsMargins(0, 0, 0, 0);
    queueLayout->setSpacing(0);
    queue_ = new QTreeWidget(queuePanel_);
    queue_->setRootIsDecorated(false);
    queue_->setHeaderLabels({L(wintexts::kQueueFile), L(wintexts::kQueueDirection),
                             L(wintexts::kQueueSize), L(wintexts::kQueueSite)});
    queueLayout->addWidget(queue_, 1);
    auto* bars = new QHBoxLayout;
    for (int i = 0; i < 2; ++i) {
        auto* bar = new QStatusBar(queuePanel_);
        bar->setSizeGripEnabled(false);
        bars->addWidget(bar, 1);
    }
    queueLayout->addLayout(bars);
    layout->addWidget(queuePanel_);

    log_ = new LogPane(this);
    layout->addWidget(log_);

    connect(&events, &AppSignals::clientIndicatorsChanged, this, &ClientPage::ShowIndicators);
    connect(&events, &AppSignals::clientListingChanged, this, [this] {
        const ClientSession& session = shell_.Client();
        remotePath_->clear();
        for (const std::string& path : session.RemotePaths())
            remotePath_->addItem(QString::fromStdString(path));
        remotePath_->setCurrentText(QString::fromStdString(session.RemotePath()));
    });
    ShowIndicators();
    ShowLocalFolder(QDir::homePath());
}

void ClientPage::ShowIndicators() {
    const ClientIndicators& values = shell_.Client().Indicators();
    const std::string* texts[] = {&values.Encryption, &values.Strength, &values.Algorythm};
    for (int i = 0; i < 3; ++i)
        indicators_[i]->setText(QString::fromStdString(*texts[i]));
    if (values.CommandPortEncryption != sessionCommandPort_) {
        sessionCommandPort_ = values.CommandPortEncryption;
        indicators_[3]->setText(QString::fromStdString(sessionCommandPort_));
    }
    remoteUp_->setEnabled(shell_.Client().Groups().RemoteUp);
}

// The local panel lists one folder, read on the loop thread.
void ClientPage::ShowLocalFolder(const QString& path) {
    localPath_->setCurrentText(path);
    localModel_->clear();
    QStringList columns;
    for (const char* column : modeltexts::kRemoteColumns)
        columns << L(column);
    localModel_->setHorizontalHeaderLabels(columns);
    const QFileInfoList entries = QDir(path).entryInfoList(
        QDir::AllEntries | QDir::NoDotAndDotDot, QDir::DirsFirst | QDir::Name | QDir::IgnoreCase);
    QStyle* st = style();
    for (const QFileInfo& info : entries) {
        auto* name = new QStandardItem(
            st->standardIcon(info.isDir() ? QStyle::SP_DirIcon : QStyle::SP_FileIcon),
            info.fileName());
        name->setData(info.absoluteFilePath(), Qt::UserRole);
        name->setEditable(false);
        auto* size = new QStandardItem(info.isDir() ? QString() : QString::number(info.size()));
        size->setEditable(false);
        auto* date =
            new QStandardItem(QLocale().toString(info.lastModified(), QLocale::ShortFormat));
        date->setEditable(false);
        localModel_->appendRow({name, size, date});
    }
}

void ClientPage::ShowKeyPairState(const std::string& state) {
    indicators_[3]->setText(QString::fromStdString(state));
}

void ClientPage::SetLocalViewStyle(ViewStyle style) {
    localViews_->setCurrentIndex(style == ViewStyle::Report ? 0 : 1);
}

ClientPage::ViewStyle ClientPage::LocalViewStyle() const {
    return localViews_->currentIndex() == 0 ? ViewStyle::Report : ViewStyle::List;
}

QWidget* ClientPage::LocalList() const {
    return localViews_->currentWidget();
}

QWidget* ClientPage::LocalPanel() const {
    return localViews_;
}

void ClientPage::SetBottomHeight(int height) {
    queuePanel_->setFixedHeight(height);
    log_->setFixedHeight(height);
}

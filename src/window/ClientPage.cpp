#include "window/ClientPage.h"

#include "app/AppShell.h"
#include "app/AppSignals.h"
#include "client/ClientSession.h"
#include "models/RemoteListingModel.h"
#include "models/TransferQueueModel.h"
#include "window/CommandMap.h"
#include "window/ElidedLabel.h"
#include "window/KindIconProxy.h"
#include "window/LogPane.h"
#include "window/WindowTexts.h"

#include <QApplication>
#include <QComboBox>
#include <QDataStream>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QSplitter>
#include <QStatusBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <map>

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

// A status bar that a window smaller than the initial size may narrow (its
// panels are cut then) instead of keeping the window wide.
void LetShrink(QStatusBar& bar) {
    bar.setMinimumWidth(1);
}

// One value panel of a status bar: its caption (none when null), where the
// value label is kept, and its least width.
struct PanelSpec {
    const char* label;
    QLabel** value;
    int width;
};

// A status bar of labelled value panels; a last panel without a caption
// stretches over the rest of the bar and shortens a text too long for it.
QStatusBar* PanelBar(QWidget* parent, std::initializer_list<PanelSpec> panels) {
    auto* bar = new QStatusBar(parent);
    bar->setSizeGripEnabled(false);
    LetShrink(*bar);
    int i = 0;
    for (const PanelSpec& panel : panels) {
        if (panel.label != nullptr)
            bar->addWidget(new QLabel(L(panel.label), bar));
        ++i;
        const bool stretches = panel.label == nullptr && i == int(panels.size());
        QLabel* value = stretches ? new ElidedLabel(bar) : new QLabel(bar);
        value->setFrameShape(QFrame::Panel);
        value->setFrameShadow(QFrame::Sunken);
        value->setMinimumWidth(panel.width);
        bar->addWidget(value, stretches ? 1 : 0);
        *panel.value = value;
    }
    return bar;
}

QFrame* FocusStrip(QWidget* parent) {
    auto* strip = new QFrame(parent);
    strip->setFixedHeight(10);
    strip->setAutoFillBackground(true);
    return strip;
}

} // namespace

ClientPage::ClientPage(AppShell& shell, AppSignals& events, Prompts& prompts, CommandMap& commands,
                       QWidget* parent)
    : QWidget(parent), shell_(shell), prompts_(prompts), commands_(commands) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);

    // StatusBar4: the encryption indicators.
    auto* indicators = new QStatusBar(this);
    indicators->setSizeGripEnabled(false);
    LetShrink(*indicators);
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

    // The local panel (Panel7 above it) and the remote list (Panel9 above
    // it), side by side.
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    auto* localSide = new QWidget(splitter);
    auto* localLayout = new QVBoxLayout(localSide);
    localLayout->setContentsMargins(0, 0, 0, 0);
    localLayout->setSpacing(1);
    localStrip_ = FocusStrip(localSide);
    local_ = new ::LocalPanel(localSide);
    localLayout->addWidget(localStrip_);
    localLayout->addWidget(local_, 1);

    auto* remote = new QWidget(splitter);
    auto* remoteLayout = new QVBoxLayout(remote);
    remoteLayout->setContentsMargins(0, 0, 0, 0);
    remoteLayout->setSpacing(1);
    remoteStrip_ = FocusStrip(remote);
    remoteLayout->addWidget(remoteStrip_);
    auto* remoteTop = new QHBoxLayout;
    remotePath_ = new QComboBox(remote);
    // A path may be typed: Enter goes there.
    remotePath_->setEditable(true);
    remotePath_->setInsertPolicy(QComboBox::NoInsert);
    remotePath_->lineEdit()->installEventFilter(this);
    remoteUp_ = UpButton(remote);
    remoteTop->addWidget(remotePath_, 1);
    remoteTop->addWidget(remoteUp_);
    remoteLayout->addLayout(remoteTop);
    remoteList_ = new TransferView<QTreeView>(remote);
    remoteModel_ = new RemoteListingModel(shell.Client(), events, this);
    QStyle* st = style();
    remoteIcons_ =
        new KindIconProxy(RemoteListingModel::KindRole,
                          {{int(RemoteIcon::Folder), st->standardIcon(QStyle::SP_DirIcon)},
                           {int(RemoteIcon::File), st->standardIcon(QStyle::SP_FileIcon)},
                           {int(RemoteIcon::Link), st->standardIcon(QStyle::SP_FileLinkIcon)}},
                          this);
    remoteIcons_->setSourceModel(remoteModel_);
    remoteList_->setModel(remoteIcons_);
    remoteList_->setRootIsDecorated(false);
    remoteList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    remoteList_->header()->setSectionsClickable(true);
    remoteList_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    remoteList_->header()->setStretchLastSection(false);
    remoteLayout->addWidget(remoteList_, 1);
    splitter->addWidget(localSide);
    splitter->addWidget(remote);
    layout->addWidget(splitter, 1);

    // The transfer queue with its totals (StatusBar2) and the running
    // transfer's figures (StatusBar5).
    queuePanel_ = new QWidget(this);
    auto* queueLayout = new QVBoxLayout(queuePanel_);
    queueLayout->setContentsMargins(0, 0, 0, 0);
    queueLayout->setSpacing(0);
    queue_ = new TransferView<QTreeView>(queuePanel_);
    queueModel_ = new TransferQueueModel(shell.Queue(), events, this);
    auto* queueIcons =
        new KindIconProxy(TransferQueueModel::KindRole,
                          {{int(QueueIcon::Directory), st->standardIcon(QStyle::SP_DirIcon)},
                           {int(QueueIcon::File), st->standardIcon(QStyle::SP_FileIcon)}},
                          this);
    queueIcons->setSourceModel(queueModel_);
    queue_->setModel(queueIcons);
    queue_->setRootIsDecorated(false);
    queue_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    queue_->setDragEnabled(false);
    queue_->setIconSize(QSize(16, 16));
    // Local, Size, direction, Remote, Size, Host, Status: together narrow
    // enough for a 640-pixel window, so that no horizontal scroll bar takes
    // the height of the only row a small window has room for; the last
    // column takes what a wider window gives.
    const int widths[] = {150, 80, 28, 130, 80, 90, 60};
    for (int column = 0; column < 7; ++column)
        queue_->header()->resizeSection(column, widths[column]);
    queueLayout->addWidget(queue_, 1);
    // Six figures of the running transfer with large byte counts need more
    // than the window's width on one bar, so its share and time left sit on
    // the totals' bar, before the stretching path panel.
    queueLayout->addWidget(PanelBar(queuePanel_, {{wintexts::kQueueSize, &totals_[0], 30},
                                                  {wintexts::kTotalBytes, &totals_[1], 80},
                                                  {wintexts::kPercentDone, &figures_[4], 40},
                                                  {wintexts::kRemain, &figures_[5], 56},
                                                  {nullptr, &totals_[2], 80},
                                                  {nullptr, &totals_[3], 120}}));
    queueLayout->addWidget(PanelBar(queuePanel_, {{wintexts::kFileSize, &figures_[0], 60},
                                                  {wintexts::kBytes, &figures_[1], 60},
                                                  {wintexts::kTotalBytes, &figures_[2], 60},
                                                  {wintexts::kSpeed, &figures_[3], 44}}));
    layout->addWidget(queuePanel_);

    log_ = new LogPane(this);
    layout->addWidget(log_);

    // Commands of the page's own controls.
    connect(remoteUp_, &QToolButton::clicked, this, [this] { shell_.Client().Up(); });
    connect(remotePath_, &QComboBox::activated, this, [this](int index) {
        const ClientSession& session = shell_.Client();
        const std::string chosen = remotePath_->itemText(index).toStdString();
        if (remotePath_->count() > 1 && chosen != session.RemotePath() && session.Groups().RemoteUp)
            shell_.Client().ChangeDirectory(chosen);
    });
    connect(remotePath_->lineEdit(), &QLineEdit::returnPressed, this, [this] {
        const std::string typed = remotePath_->currentText().trimmed().toStdString();
        ClientSession& session = shell_.Client();
        // Only a listed session can move; otherwise the box shows where it is.
        if (typed.empty() || typed == session.RemotePath() || !session.Groups().RemoteUp) {
            remotePath_->setCurrentText(QString::fromStdString(session.RemotePath()));
            return;
        }
        session.ChangeDirectory(typed);
        // Not being typed in any more: the box follows the session again.
        remotePath_->lineEdit()->setModified(false);
    });
    remoteList_->header()->setSortIndicatorShown(true);
    remoteList_->header()->setSortIndicator(0, Qt::AscendingOrder);
    connect(remoteList_->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        remoteModel_->sort(column);
        const ClientSession& session = shell_.Client();
        remoteList_->header()->setSortIndicator(
            session.SortColumn, session.SortDescending ? Qt::DescendingOrder : Qt::AscendingOrder);
    });
    connect(remoteList_, &QTreeView::doubleClicked, this, &ClientPage::RemoteDoubleClicked);

    // Drags and drops between the panels and the queue.
    remoteList_->MakeMime = [this] { return RemoteDragData(); };
    remoteList_->Accepts = [this](const QMimeData* m) { return TakesLocalFiles(m); };
    remoteList_->Dropped = [this](const QMimeData* m) { QueueLocalFiles(m); };
    local_->ReportView()->MakeMime = [this] { return LocalDragData(); };
    local_->ListView()->MakeMime = [this] { return LocalDragData(); };
    local_->ReportView()->Accepts = [this](const QMimeData* m) { return TakesRemoteItems(m); };
    local_->ListView()->Accepts = local_->ReportView()->Accepts;
    local_->ReportView()->Dropped = [this](const QMimeData* m) { QueueRemoteItems(m); };
    local_->ListView()->Dropped = local_->ReportView()->Dropped;
    queue_->Accepts = [this](const QMimeData* m) {
        return TakesRemoteItems(m) || TakesLocalFiles(m);
    };
    queue_->Dropped = [this](const QMimeData* m) {
        if (TakesRemoteItems(m))
            QueueRemoteItems(m);
        else
            QueueLocalFiles(m);
    };

    // What the session, the queue and the selections change.
    connect(&events, &AppSignals::clientIndicatorsChanged, this, &ClientPage::ShowIndicators);
    connect(&events, &AppSignals::clientIndicatorsChanged, this, &ClientPage::ShowGroups);
    connect(&events, &AppSignals::clientListingChanged, this, &ClientPage::ShowListing);
    connect(&events, &AppSignals::clientProgress, this, &ClientPage::ShowTotals);
    connect(&events, &AppSignals::queueChanged, this, [this] {
        ShowTotals();
        ShowQueueSelection();
        // Finished downloads show in the local panel once the queue is done.
        if (shell_.Queue().Entries().empty())
            local_->Refresh();
    });
    connect(&events, &AppSignals::queueRowChanged, this, &ClientPage::ShowTotals);
    connect(&events, &AppSignals::localFolderChanged, local_, &LocalPanel::ShowFolder);
    connect(local_, &LocalPanel::selectionChanged, this, &ClientPage::ShowSelectionCommands);
    connect(remoteList_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ClientPage::ShowSelectionCommands);
    connect(remoteIcons_, &QAbstractItemModel::modelReset, this,
            &ClientPage::ShowSelectionCommands);
    connect(queue_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ClientPage::ShowQueueSelection);
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { FocusChanged(now); });

    FocusChanged(QApplication::focusWidget());
    ShowIndicators();
    ShowTotals();
    local_->ShowFolder(QDir::homePath());
}

ClientPage::~ClientPage() {
    disconnect(qApp, nullptr, this, nullptr);
}

bool ClientPage::Connected() const {
    return shell_.ClientConnected();
}

void ClientPage::ShowIndicators() {
    const ClientIndicators& values = shell_.Client().Indicators();
    const std::string* texts[] = {&values.Encryption, &values.Strength, &values.Algorythm};
    for (int i = 0; i < 3; ++i)
        indicators_[i]->setText(QString::fromStdString(*texts[i]));
    // The session's own result while it has one; between sessions the
    // state of the program's key pair.
    const std::string& commandPort = values.CommandPortEncryption.empty()
                                         ? shell_.Options().CommandPortEncryption()
                                         : values.CommandPortEncryption;
    indicators_[3]->setText(QString::fromStdString(commandPort));
    remoteUp_->setEnabled(shell_.Client().Groups().RemoteUp);
    // A typed path that could not be entered gives way to where the session is.
    const QString where = QString::fromStdString(shell_.Client().RemotePath());
    if (!remotePath_->lineEdit()->isModified() && remotePath_->currentText() != where)
        remotePath_->setCurrentText(where);
    ShowTotals();
}

void ClientPage::ShowListing() {
    const ClientSession& session = shell_.Client();
    remotePath_->clear();
    for (const std::string& path : session.RemotePaths())
        remotePath_->addItem(QString::fromStdString(path));
    remotePath_->setCurrentText(QString::fromStdString(session.RemotePath()));
    ShowSelectionCommands();
}

void ClientPage::ShowTotals() {
    const QueueTotals& totals = shell_.Queue().Totals();
    const std::string* texts[] = {&totals.Count, &totals.Bytes, &totals.Kind, &totals.Path};
    for (int i = 0; i < 4; ++i) {
        const QString text = QString::fromStdString(*texts[i]);
        if (auto* elided = qobject_cast<ElidedLabel*>(totals_[i]))
            elided->SetFullText(text);
        else
            totals_[i]->setText(text);
    }
    const TransferFigures& f = shell_.Client().Figures();
    const std::string* figures[] = {&totals.FileSize, &f.Bytes,       &f.TotalBytes,
                                    &f.Speed,         &f.PercentDone, &f.Remain};
    for (int i = 0; i < 6; ++i)
        figures_[i]->setText(QString::fromStdString(*figures[i]));
}

void ClientPage::ShowKeyPairState() {
    ShowIndicators();
}

void ClientPage::SetBottomHeight(int height) {
    queuePanel_->setFixedHeight(height);
    log_->setFixedHeight(height);
}

#pragma once
#include "WindowEnv.h"

#include "models/RemoteListingModel.h"
#include "window/ClientPage.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>

#include <memory>

namespace testing_support {

// Rows of a view whose first column shows one of names, selected as a user
// would (the rest unselected).
inline int SelectRows(QAbstractItemView* view, const QStringList& names) {
    QAbstractItemModel* model = view->model();
    view->clearSelection();
    int selected = 0;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row, 0);
        if (names.contains(index.data().toString())) {
            view->selectionModel()->select(index,
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
            ++selected;
        }
    }
    return selected;
}

// The row of a view whose first column shows name, or -1.
inline int RowOf(QAbstractItemView* view, const QString& name) {
    for (int row = 0; row < view->model()->rowCount(); ++row)
        if (view->model()->index(row, 0).data().toString() == name)
            return row;
    return -1;
}

// Drops what a drag carries on the view, as the window system would deliver
// it: enter, move, drop. Returns whether the drop was taken.
inline bool DropOn(QAbstractItemView* view, QMimeData* carried) {
    std::unique_ptr<QMimeData> mime(carried);
    if (!mime)
        return false;
    QWidget* target = view->viewport();
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDragMoveEvent move(at, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    QDropEvent drop(QPointF(at), Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

// Waits until the remote list shows the listing of a logged-in session.
inline bool WaitForListing(AppShell& shell, ClientPage& page, int timeoutMs = 60000) {
    return RunLoopUntil(
        [&] {
            return shell.Client().Groups().RemoteUp && page.RemoteList()->model()->rowCount() > 0;
        },
        timeoutMs);
}

// Waits until the queue has nothing left to run.
inline bool WaitForQueue(AppShell& shell, int timeoutMs = 120000) {
    auto idle = [&] {
        return shell.Queue().Entries().empty() && !shell.Queue().Busy() &&
               !shell.Client().TransferRunning();
    };
    return RunLoopUntil(idle, timeoutMs) && (RunLoopFor(100), RunLoopUntil(idle, timeoutMs));
}

} // namespace testing_support

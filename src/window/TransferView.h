#pragma once
#include <QAbstractItemView>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>

#include <functional>

// An item view that is a drag source and a drop target for transfers: what
// a drag carries, whether a drop is taken and what it does are told by the
// page, so the view itself decides nothing.
template <class View> class TransferView : public View {
public:
    explicit TransferView(QWidget* parent = nullptr) : View(parent) {
        this->setDragEnabled(true);
        this->setAcceptDrops(true);
        this->setDropIndicatorShown(false);
        this->setDragDropMode(QAbstractItemView::DragDrop);
    }

    // The selection as a drag carries it; nullptr when it carries nothing.
    std::function<QMimeData*()> MakeMime;
    // Whether a drop of these data is taken now.
    std::function<bool(const QMimeData*)> Accepts;
    std::function<void(const QMimeData*)> Dropped;

protected:
    void startDrag(Qt::DropActions) override {
        QMimeData* mime = MakeMime ? MakeMime() : nullptr;
        if (mime == nullptr)
            return;
        auto* drag = new QDrag(this);
        drag->setMimeData(mime);
        drag->exec(Qt::CopyAction);
    }
    void dragEnterEvent(QDragEnterEvent* event) override { Judge(event); }
    void dragMoveEvent(QDragMoveEvent* event) override { Judge(event); }
    void dropEvent(QDropEvent* event) override {
        if (event->source() == this || !Accepts || !Accepts(event->mimeData())) {
            event->ignore();
            return;
        }
        event->setDropAction(Qt::CopyAction);
        event->accept();
        if (Dropped)
            Dropped(event->mimeData());
    }

private:
    void Judge(QDropEvent* event) {
        if (event->source() != this && Accepts && Accepts(event->mimeData())) {
            event->setDropAction(Qt::CopyAction);
            event->accept();
        } else {
            event->ignore();
        }
    }
};

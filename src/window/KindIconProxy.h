#pragma once
#include <QIcon>
#include <QIdentityProxyModel>

#include <map>

// Shows an icon in the first column of a model by the kind number the model
// gives under kindRole (the remote list's folder, file and link; the
// queue's directory and file).
class KindIconProxy : public QIdentityProxyModel {
public:
    KindIconProxy(int kindRole, std::map<int, QIcon> icons, QObject* parent = nullptr)
        : QIdentityProxyModel(parent), kindRole_(kindRole), icons_(std::move(icons)) {}

    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::DecorationRole && index.column() == 0) {
            auto found = icons_.find(QIdentityProxyModel::data(index, kindRole_).toInt());
            return found == icons_.end() ? QVariant() : QVariant(found->second);
        }
        return QIdentityProxyModel::data(index, role);
    }

private:
    int kindRole_;
    std::map<int, QIcon> icons_;
};

#pragma once
#include "client/SiteRecord.h"

#include <QDialog>

#include <functional>

class NameListModel;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeView;
class SiteStore;

// TSiteManager, "Site Manager": the sites of the site store with their
// details. Leaving it with Connect (or closing it with one site selected)
// makes that site the current one; the store's rules and messages are the
// site store's.
class TSiteManager : public QDialog {
    Q_OBJECT
public:
    enum class Result { Closed, Connect };

    // current: the site shown first (the main window's current site).
    // maskPasswords: '*' in the password, key and SOCKS password boxes.
    TSiteManager(SiteStore& store, const SiteRecord& current, bool maskPasswords,
                 QWidget* parent = nullptr);

    Result Outcome() const { return result_; }
    // The site chosen when the window closed (empty name: none).
    const SiteRecord& Chosen() const { return chosen_; }
    // Opens the user manual at the site manager's topic.
    std::function<void()> OnHelp;

    QTreeView* Sites() const { return list_; }
    QLineEdit* NameBox() const { return name_; }
    QLineEdit* HostBox() const { return host_; }
    QLineEdit* PortBox() const { return port_; }
    QLineEdit* UserBox() const { return user_; }
    QLineEdit* PasswordBox() const { return password_; }
    QLineEdit* KeyBox() const { return key_; }
    QRadioButton* LoginType(int type) const { return loginTypes_[type - 1]; }
    QCheckBox* Mandatory() const { return mandatory_; }
    QCheckBox* Passive() const { return passive_; }
    QCheckBox* NoSocks() const { return noSocks_; }
    QCheckBox* NoRsa() const { return noRsa_; }
    QLineEdit* SocksBox(int index) const { return socks_[index]; }
    QPushButton* NewButton() const { return new_; }
    QPushButton* CloneButton() const { return clone_; }
    QPushButton* RenameButton() const { return rename_; }
    QPushButton* DeleteButton() const { return delete_; }
    QPushButton* HelpButton() const { return help_; }
    QPushButton* ConnectButton() const { return connect_; }
    QPushButton* ExitButton() const { return exit_; }

    // Selects the site of this name (none when it is not listed).
    void Select(const std::string& name);

    void NewSite();
    void CloneSite();
    void RenameSite();
    void DeleteSite();
    void ConnectSite();

protected:
    void done(int result) override;

private:
    void BuildMenus();
    void ShowList(const std::string& select);
    std::string SelectedName() const;
    int SelectedCount() const;
    void SelectionChanged();
    void ShowDetails(const SiteRecord& site);
    void ClearDetails();
    // The boxes into the edit record, then the record over its stored one.
    void SaveDetails();
    void ShowLoginType(int type);
    void LoginTypeClicked(int type);
    void ShowConnectEnabled();
    QList<QLineEdit*> DetailBoxes() const;

    SiteStore& store_;
    SiteRecord edit_;
    SiteRecord chosen_;
    Result result_ = Result::Closed;
    bool filling_ = false;
    NameListModel* names_ = nullptr;
    QTreeView* list_ = nullptr;
    QGroupBox* details_ = nullptr;
    QGroupBox* proxy_ = nullptr;
    QLineEdit* name_ = nullptr;
    QLineEdit* host_ = nullptr;
    QLineEdit* port_ = nullptr;
    QLineEdit* user_ = nullptr;
    QLineEdit* password_ = nullptr;
    QLineEdit* key_ = nullptr;
    QRadioButton* loginTypes_[3] = {};
    QCheckBox* mandatory_ = nullptr;
    QCheckBox* passive_ = nullptr;
    QCheckBox* noSocks_ = nullptr;
    QCheckBox* noRsa_ = nullptr;
    QLineEdit* socks_[4] = {};
    QPushButton* new_ = nullptr;
    QPushButton* clone_ = nullptr;
    QPushButton* rename_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* help_ = nullptr;
    QPushButton* connect_ = nullptr;
    QPushButton* exit_ = nullptr;
};

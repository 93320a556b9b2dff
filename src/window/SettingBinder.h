#pragma once
#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <string>
#include <vector>

class QAbstractButton;
class QLineEdit;
class QSpinBox;
class QWidget;
class Settings;

// Ties the controls of the settings pages to the options they edit: a change
// in a control goes to Settings at once, and a change of an option (by the
// program or another control) shows in its control. Which controls are
// enabled is asked of the option rules after every change.
class SettingBinder : public QObject {
    Q_OBJECT
public:
    explicit SettingBinder(Settings& settings, QObject* parent = nullptr);

    void Bind(QAbstractButton* box, const char* key);
    void Bind(QLineEdit* edit, const char* key);
    // A number field; its range is the idle seconds' unless given.
    void Bind(QSpinBox* spin, const char* key, int min = -1, int max = -1);
    // Two radio buttons for one option: on shows it set, off shows it clear.
    void BindPair(QAbstractButton* on, QAbstractButton* off, const char* key);
    // Other widgets enabled with an option's control (a browse button).
    void EnableWith(QWidget* widget, const char* key);

    // The option changed: show its value, then refresh every enabled state.
    void Changed(const std::string& key);
    // Shows every option and runs the views' reloads (after loading).
    void ShowAll();
    // A view of loaded data (a list of the settings pages) to refresh in ShowAll.
    void OnShowAll(std::function<void()> reload) { reloads_.push_back(std::move(reload)); }

private:
    struct Control {
        std::function<void()> show;
        std::vector<QWidget*> widgets;
    };
    void Add(const char* key, QWidget* widget, std::function<void()> show);
    void RefreshEnabled();

    Settings& settings_;
    std::map<std::string, Control> controls_;
    std::vector<std::function<void()>> reloads_;
};

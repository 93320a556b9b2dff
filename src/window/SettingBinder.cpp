#include "window/SettingBinder.h"

#include "app/OptionRules.h"
#include "app/Settings.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QSpinBox>

SettingBinder::SettingBinder(Settings& settings, QObject* parent)
    : QObject(parent), settings_(settings) {}

void SettingBinder::Add(const char* key, QWidget* widget, std::function<void()> show) {
    Control& control = controls_[key];
    control.widgets.push_back(widget);
    if (show) {
        auto previous = std::move(control.show);
        control.show = [previous = std::move(previous), show = std::move(show)] {
            if (previous)
                previous();
            show();
        };
    }
}

void SettingBinder::Bind(QAbstractButton* box, const char* key) {
    box->setCheckable(true);
    connect(box, &QAbstractButton::clicked, this,
            [this, key](bool checked) { PressOption(settings_, key, checked); });
    Add(key, box, [this, box, key] {
        const QSignalBlocker block(box);
        box->setChecked(settings_.GetBool(key));
    });
}

void SettingBinder::BindPair(QAbstractButton* on, QAbstractButton* off, const char* key) {
    connect(on, &QAbstractButton::clicked, this, [this, key] { settings_.SetBool(key, true); });
    connect(off, &QAbstractButton::clicked, this, [this, key] { settings_.SetBool(key, false); });
    Add(key, on, [this, on, off, key] {
        const QSignalBlocker blockOn(on);
        const QSignalBlocker blockOff(off);
        (settings_.GetBool(key) ? on : off)->setChecked(true);
    });
    controls_[key].widgets.push_back(off);
}

void SettingBinder::Bind(QLineEdit* edit, const char* key) {
    if (DigitsOnly(key))
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    connect(edit, &QLineEdit::textEdited, this,
            [this, key](const QString& text) { settings_.SetString(key, text.toStdString()); });
    Add(key, edit, [this, edit, key] {
        const QString text = QString::fromStdString(settings_.GetString(key));
        if (edit->text() != text) {
            const QSignalBlocker block(edit);
            edit->setText(text);
        }
    });
}

void SettingBinder::Bind(QSpinBox* spin, const char* key, int min, int max) {
    if (min < 0 || max < min)
        spin->setRange(Settings::kIdleCountMin, Settings::kIdleCountMax);
    else
        spin->setRange(min, max);
    connect(spin, &QSpinBox::valueChanged, this,
            [this, key](int value) { settings_.SetInt(key, value); });
    Add(key, spin, [this, spin, key] {
        const QSignalBlocker block(spin);
        spin->setValue(settings_.GetInt(key));
    });
}

void SettingBinder::EnableWith(QWidget* widget, const char* key) {
    Add(key, widget, nullptr);
}

void SettingBinder::Changed(const std::string& key) {
    auto found = controls_.find(key);
    if (found != controls_.end() && found->second.show)
        found->second.show();
    RefreshEnabled();
}

void SettingBinder::ShowAll() {
    for (auto& [key, control] : controls_)
        if (control.show)
            control.show();
    RefreshEnabled();
    for (const auto& reload : reloads_)
        reload();
}

void SettingBinder::RefreshEnabled() {
    for (auto& [key, control] : controls_) {
        const bool enabled = OptionEnabled(settings_, key);
        for (QWidget* widget : control.widgets)
            widget->setEnabled(enabled);
    }
}

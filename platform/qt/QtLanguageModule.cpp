#include "platform/qt/QtLanguageModule.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMetaProperty>
#include <QTextDocument>
#include <QWidget>

#include <string_view>
#include <vector>

namespace orv {

namespace {

// Qt's own classes (QWidget, QDialog, QMainWindow ...) carry no texts of ours.
bool IsToolkitClass(const QMetaObject& meta) {
    return meta.className()[0] == 'Q';
}

// Section names are plain class names: "orv::TMainForm" -> "TMainForm".
std::string_view PlainClassName(const QMetaObject& meta) {
    const std::string_view name = meta.className();
    const auto colons = name.rfind("::");
    return colons == std::string_view::npos ? name : name.substr(colons + 2);
}

// Our classes from the one just below Qt's down to the window's own class.
std::vector<const QMetaObject*> OwnClassChain(const QObject& window) {
    std::vector<const QMetaObject*> chain;
    for (const QMetaObject* meta = window.metaObject(); meta && !IsToolkitClass(*meta); meta = meta->superClass())
        chain.insert(chain.begin(), meta);
    return chain;
}

// Sets a property the object already has, converting the text to its type;
// false when there is no such property or the text does not fit it.
bool WriteProperty(QObject& object, const char* name, const QString& text) {
    const QMetaObject* meta = object.metaObject();
    const int index = meta->indexOfProperty(name);
    if (index >= 0) {
        const QMetaProperty property = meta->property(index);
        if (!property.isWritable()) return false;
        // Enumerations are written by their key names, which Qt looks up itself.
        if (property.isEnumType()) return property.write(&object, text);
        QVariant value(text);
        if (!value.convert(property.metaType())) return false;
        return property.write(&object, value);
    }
    const QVariant existing = object.property(name);
    if (!existing.isValid()) return false;
    QVariant value(text);
    if (!value.convert(existing.metaType())) return false;
    object.setProperty(name, value);  // a dynamic property: setProperty reports false by design
    return true;
}

// A tooltip is taken as markup when it looks like markup; a hint from the
// file is shown as it stands.
QString PlainToolTip(const QString& text) {
    if (!Qt::mightBeRichText(text)) return text;
    return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

// "Caption": the title of the window, a menu or a group, else the text of a
// label, button or action.
void WriteCaption(QObject& target, bool isWindow, const QString& text) {
    if (isWindow) {
        WriteProperty(target, "windowTitle", text);
        return;
    }
    if (qobject_cast<QMenu*>(&target)) {
        WriteProperty(target, "title", text);
        return;
    }
    if (WriteProperty(target, "text", text) || WriteProperty(target, "title", text)) return;
    if (auto* widget = qobject_cast<QWidget*>(&target); widget && widget->isWindow())
        WriteProperty(target, "windowTitle", text);
}

void Apply(QObject& target, bool isWindow, const LanguageText& entry) {
    const QString text = QString::fromStdString(entry.Value);
    if (entry.Property == "Caption")
        WriteCaption(target, isWindow, text);
    else if (entry.Property == "Hint")
        WriteProperty(target, "toolTip", PlainToolTip(text));
    else if (entry.Property == "Text")
        WriteProperty(target, "text", text) || WriteProperty(target, "plainText", text);
    else
        WriteProperty(target, entry.Property.c_str(), text);
}

// Set on a window once it has the module's texts.
constexpr char kTextsGiven[] = "orvLanguageTextsGiven";

QObject* FindComponent(QWidget& window, const std::string& name) {
    if (name.empty()) return &window;
    return window.findChild<QObject*>(QString::fromStdString(name));
}

}  // namespace

void ReloadWindowTexts(QWidget& window, const LanguageModule& module) {
    window.setProperty(kTextsGiven, true);
    for (const QMetaObject* meta : OwnClassChain(window)) {
        const auto* texts = module.Form(PlainClassName(*meta));
        if (!texts) continue;
        for (const auto& entry : *texts) {
            if (QObject* target = FindComponent(window, entry.Component))
                Apply(*target, target == &window, entry);
        }
    }
}

void ReloadAllWindows(const LanguageModule& module) {
    for (QWidget* window : QApplication::topLevelWidgets()) ReloadWindowTexts(*window, module);
}

LanguageForNewWindows::LanguageForNewWindows(const LanguageModule& module, QObject* parent)
    : QObject(parent), module_(module) {
    QApplication::instance()->installEventFilter(this);
}

bool LanguageForNewWindows::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->isWindow() && !widget->property(kTextsGiven).toBool())
            ReloadWindowTexts(*widget, module_);
    }
    return false;
}

}  // namespace orv

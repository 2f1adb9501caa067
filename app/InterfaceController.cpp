#include "app/InterfaceController.h"

#include "app/Logging.h"
#include "app/MainWindowUi.h"
#include "translate/MainSettings.h"

#include "platform/AppTitle.h"
#include "platform/InterfaceLanguages.h"
#include "platform/InterfaceTexts.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QLoggingCategory>
#include <QMenu>
#include <QWidget>

InterfaceController::InterfaceController(QWidget* window, MainWindowUi& ui, MainSettings& settings)
    : QObject(window), m_window(window), ui(ui), m_settings(settings)
{
    setObjectName(QStringLiteral("InterfaceController"));
    const struct
    {
        QAction* item;
        void (InterfaceController::*handler)();
    } commands[] = {
        {ui.English1, &InterfaceController::English1Click},
        {ui.French1, &InterfaceController::French1Click},
        {ui.Spanish1, &InterfaceController::Spanish1Click},
        {ui.German1, &InterfaceController::German1Click},
        {ui.Italian1, &InterfaceController::Italian1Click},
        {ui.Portuguese1, &InterfaceController::Portuguese1Click},
        {ui.Japanese1, &InterfaceController::Japanese1Click},
        {ui.Chinese1, &InterfaceController::Chinese1Click},
    };
    for (const auto& c : commands)
        connect(c.item, &QAction::triggered, this, c.handler);

    for (const InterfaceTextRow& row : interfaceTextTable()) {
        QObject* control = window->findChild<QObject*>(QString::fromLatin1(row.control));
        if (!control)
            qCWarning(lcApp) << "interface texts: the window has no" << row.control;
        m_controls.append(control);
    }
    for (const InterfaceTextRow& row : interfaceNameTable()) {
        QWidget* control = window->findChild<QWidget*>(QString::fromLatin1(row.control));
        if (!control)
            qCWarning(lcApp) << "interface names: the window has no" << row.control;
        m_named.append(control);
    }
    // Named from the start, before any interface language is chosen.
    applyNames(QStringLiteral("English"));
}

void InterfaceController::selectInterface(QAction* item)
{
    QString stored;
    for (const InterfaceLanguage& l : interfaceLanguages())
        if (item->objectName() == QLatin1String(l.menuItem))
            stored = QString::fromUtf8(l.stored);
    m_settings.InterfaceLanguage = stored;
    // The group keeps one check mark; a command run directly sets it too.
    item->setChecked(true);
    applyTexts(stored);
    applyNames(stored);
    m_window->setWindowTitle(AppTitle::InterfaceTitle);
    AppTitle::set(AppTitle::InterfaceTitle);
}

void InterfaceController::applyTexts(const QString& stored)
{
    const QList<InterfaceText> texts = interfaceTexts(stored);
    for (qsizetype i = 0; i < texts.size() && i < m_controls.size(); ++i) {
        QObject* control = m_controls[i];
        const QString& text = texts[i].text;
        if (auto* menu = qobject_cast<QMenu*>(control))
            menu->setTitle(text);
        else if (auto* action = qobject_cast<QAction*>(control))
            action->setText(text);
        else if (auto* button = qobject_cast<QAbstractButton*>(control))
            button->setText(text);
        else if (auto* label = qobject_cast<QLabel*>(control))
            label->setText(text);
    }
}

void InterfaceController::applyNames(const QString& stored)
{
    const QList<InterfaceText> names = interfaceNames(stored);
    for (qsizetype i = 0; i < names.size() && i < m_named.size(); ++i) {
        QWidget* control = m_named[i];
        if (!control)
            continue;
        control->setAccessibleName(names[i].text);
        // A button without a caption shows its name as its tip.
        auto* button = qobject_cast<QAbstractButton*>(control);
        if (button && button->text().isEmpty())
            button->setToolTip(names[i].text);
    }
}

void InterfaceController::English1Click()
{
    selectInterface(ui.English1);
}

void InterfaceController::French1Click()
{
    selectInterface(ui.French1);
}

void InterfaceController::Spanish1Click()
{
    selectInterface(ui.Spanish1);
}

void InterfaceController::German1Click()
{
    selectInterface(ui.German1);
}

void InterfaceController::Italian1Click()
{
    selectInterface(ui.Italian1);
}

void InterfaceController::Portuguese1Click()
{
    selectInterface(ui.Portuguese1);
}

void InterfaceController::Japanese1Click()
{
    selectInterface(ui.Japanese1);
}

void InterfaceController::Chinese1Click()
{
    selectInterface(ui.Chinese1);
}

#include "app/OptionsController.h"

#include "translate/MainSettings.h"
#include "app/MainWindowUi.h"
#include "app/OptionUnit.h"
#include "app/StatusLine.h"

#include "platform/CommandGuard.h"
#include "platform/Errors.h"
#include "platform/ProfileFile.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTabWidget>

namespace {
// The whole box must be one integer: blanks around it, a sign, decimal
// digits or "$"/"0x" and hex digits, within 32 bits. "12a" is none.
int integerOf(const QLineEdit* box)
{
    static const QRegularExpression whole(
        QStringLiteral("^[+-]?([0-9]+|(\\$|0[xX])[0-9A-Fa-f]+)$"));
    const QString text = box->text();
    const QString number = text.trimmed();
    std::optional<int> value;
    if (whole.match(number).hasMatch())
        value = ProfileFile::parseInteger(number);
    if (!value)
        throw TarquellError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return *value;
}
} // namespace

OptionsController::OptionsController(QWidget* window, MainWindowUi& ui, MainSettings& settings,
                                     StatusLine& status, IDialogs& dialogs,
                                     std::function<bool()> busy)
    : QObject(window), m_window(window), m_settings(settings), m_status(status), m_dialogs(dialogs),
      m_busy(std::move(busy))
{
    setObjectName(QStringLiteral("OptionsController"));
    connect(ui.ranslate2, &QAction::triggered, this, &OptionsController::ranslate2Click);
    connect(ui.Network1, &QAction::triggered, this, &OptionsController::Network1Click);
    connect(ui.ProxySettings1, &QAction::triggered, this, &OptionsController::ProxySettings1Click);
}

void OptionsController::ranslate2Click()
{
    ShowOptions(1);
}

void OptionsController::Network1Click()
{
    ShowOptions(2);
}

void OptionsController::ProxySettings1Click()
{
    ShowOptions(3);
}

void OptionsController::ShowOptions(int tab)
{
    if (m_busy && m_busy()) {
        m_status.setText(
            QStringLiteral("The options can be changed once the translation has ended."));
        return;
    }
    runGuarded(m_dialogs, [&] {
        // Created for this showing only, destroyed on return whatever happens.
        TOption Option(m_window);
        fill(Option, m_settings);
        if (tab >= 1 && tab <= 3)
            Option.PageControl1->setCurrentIndex(tab - 1);
        if (m_dialogs.runDialog(Option) == QDialog::Accepted)
            copyBack(Option, m_settings);
    });
}

void OptionsController::fill(TOption& o, const MainSettings& s)
{
    o.CheckBox1->setChecked(s.MultiThreading);
    o.CheckBox2->setChecked(s.DragAndDrop);
    o.CheckBox3->setChecked(s.LoadSettings);
    o.Edit1->setText(QString::number(s.MTQuote));
    o.Edit2->setText(QString::number(s.TimeOut));
    o.CheckBox4->setChecked(s.AutoUpdate);
    o.CheckBox5->setChecked(s.ProxySpecified);
    o.Edit3->setText(s.ProxyAddr);
    o.Edit4->setText(QString::number(s.ProxyPort));
}

void OptionsController::copyBack(const TOption& o, MainSettings& s)
{
    // In this order: a box that holds no integer stops the copying, the
    // fields before it keeping their new values.
    s.MultiThreading = o.CheckBox1->isChecked();
    s.DragAndDrop = o.CheckBox2->isChecked();
    s.LoadSettings = o.CheckBox3->isChecked();
    s.MTQuote = integerOf(o.Edit1);
    s.TimeOut = integerOf(o.Edit2);
    s.AutoUpdate = o.CheckBox4->isChecked();
    s.ProxySpecified = o.CheckBox5->isChecked();
    s.ProxyAddr = o.Edit3->text();
    s.ProxyPort = integerOf(o.Edit4);
}

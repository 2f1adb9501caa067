// Find Next and Replace All on the real window's source pane (offscreen),
// on texts of growing size: the median time of each against a plain
// QString scan or replace of the same text, and how it grows with the size.
//
//   bench_edit [sizes in MB ...]       (default: 1 2 5 10)
#include "BenchWindow.h"
#include "app/Translator.h"
#include "platform/Dialogs.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextEdit>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double msSince(const QElapsedTimer& t)
{
    return double(t.nsecsElapsed()) / 1e6;
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QApplication app(argc, argv);
    std::vector<double> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(atof(argv[i]));
    if (sizes.empty())
        sizes = {1, 2, 5, 10};

    NoDialogs dialogs;
    TfrmMain::Environment env;
    env.dialogs = &dialogs;
    env.settingsPath = config.filePath(QStringLiteral("TarquellTranslator.ini"));
    TfrmMain window(env);
    window.show();
    auto* memo1 = window.findChild<QTextEdit*>(QStringLiteral("Memo1"));
    // The source pane becomes the current pane as it would on a click.
    QFocusEvent focusIn(QEvent::FocusIn, Qt::MouseFocusReason);
    QCoreApplication::sendEvent(memo1, &focusIn);

    auto dialog = [&](const char* action, const char* name, const QString& what,
                      const QString& with) {
        window.findChild<QAction*>(QString::fromLatin1(action))->trigger();
        auto* d = window.findChild<QDialog*>(QString::fromLatin1(name));
        d->findChild<QLineEdit*>(QStringLiteral("FindText"))->setText(what);
        if (auto* r = d->findChild<QLineEdit*>(QStringLiteral("ReplaceText")))
            r->setText(with);
        return d;
    };
    auto press = [](QDialog* d, const char* button) {
        d->findChild<QPushButton*>(QString::fromLatin1(button))->click();
    };

    const int findRuns = 9, replaceRuns = 3;
    std::printf("Find Next (one match at the very end; median of %d) and Replace All "
                "(\"house\" by \"home\"; median of %d) on the source pane\n",
                findRuns, replaceRuns);
    std::printf("%6s %9s | %10s %10s %7s | %10s %10s %7s %8s\n", "MB", "matches", "find ms",
                "indexOf", "ratio", "all ms", "replace", "ratio", "ms/MB");
    for (double mb : sizes) {
        const QString text = generated(qsizetype(mb * 1024 * 1024)) + QStringLiteral("zebra");
        const qsizetype matches = text.count(QStringLiteral("house"));
        memo1->setPlainText(text);

        std::vector<double> find, scan, all, plain;
        for (int run = 0; run < findRuns; ++run) {
            memo1->setTextCursor(QTextCursor(memo1->document()));
            QDialog* d = dialog("Find1", "FindDialog1", QStringLiteral("zebra"), QString());
            QElapsedTimer t;
            t.start();
            press(d, "FindNextBtn");
            find.push_back(msSince(t));
            if (memo1->textCursor().selectedText() != QStringLiteral("zebra")) {
                std::fprintf(stderr, "Find Next did not find the match\n");
                return 1;
            }
            t.restart();
            volatile qsizetype at = text.indexOf(QStringLiteral("zebra"));
            (void)at;
            scan.push_back(msSince(t));
        }
        for (int run = 0; run < replaceRuns; ++run) {
            memo1->setPlainText(text);
            QDialog* d = dialog("Replace1", "ReplaceDialog1", QStringLiteral("house"),
                                QStringLiteral("home"));
            QElapsedTimer t;
            t.start();
            press(d, "ReplaceAllBtn");
            all.push_back(msSince(t));
            d->close();
            if (memo1->document()->toRawText().contains(QStringLiteral("house")) || dialogs.shown) {
                std::fprintf(stderr, "Replace All left an occurrence\n");
                return 1;
            }
            QString copy = text;
            t.restart();
            copy.replace(QStringLiteral("house"), QStringLiteral("home"));
            plain.push_back(msSince(t));
        }
        std::printf("%6.1f %9lld | %10.2f %10.2f %7.1f | %10.1f %10.2f %7.1f %8.1f\n", mb,
                    static_cast<long long>(matches), median(find), median(scan),
                    median(find) / std::max(median(scan), 1e-3), median(all), median(plain),
                    median(all) / std::max(median(plain), 1e-3), median(all) / mb);
        std::fflush(stdout);
    }
    return 0;
}

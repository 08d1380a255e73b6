#pragma once

// The main window driven by a test: a port opened on a simulated panel; every box answered OK, logged "title: text".

#include "frmmain.h"
#include "messages.h"
#include "programend.h"
#include "simulatorprocess.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QTest>

namespace WindowTest {

inline void trigger(frmmain &window, const char *action) { window.findChild<QAction *>(action)->trigger(); }
inline void click(QWidget &window, const char *button) { window.findChild<QPushButton *>(button)->click(); }

inline void openOn(frmmain &window, const SimulatorProcess &panel)
{
    QVERIFY(panel.isReady());
    qputenv("KV4810G_PORTS", panel.device().toLocal8Bit());
    window.InitialiseRecord();
    trigger(window, "open_com");
    QVERIFY(window.session().link().isOpen());
}

// Every box goes into *shown; the program must not end, unless *ended counts its ends from 0 (each closes the
// open modal dialog, as the end would).
inline void logMessages(QStringList *shown, int *ended = nullptr)
{
    shown->clear();
    if (ended)
        *ended = 0;
    Messages::setResponder([shown](const QString &text, const QString &title, bool) {
        shown->append(title + ": " + text);
        return Messages::Answer::Ok;
    });
    ProgramEnd::setHandler([ended] {
        QVERIFY2(ended, "the program must not end");
        ++*ended;
        if (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
    });
}

} // namespace WindowTest

#pragma once

#include "framesplitter.h"
#include "panelresponder.h"
#include "panelstate.h"
#include "simoptions.h"
#include "tracelog.h"

#include <QObject>
#include <QTimer>

class PseudoTerminal;
class QSocketNotifier;
class ReplyWriter;

// The panel on the line: reads the program's bytes from the master side,
// cuts them into frames, answers them through the reply writer, keeps the
// state file current and plays the fault modes.
class PanelSim : public QObject
{
    Q_OBJECT
public:
    PanelSim(const SimOptions &options, const PanelState &state, PseudoTerminal *line,
             QObject *parent = nullptr);

signals:
    // --hangup-after: the line has been closed.
    void lineClosed();

private:
    void readLine();
    void lineQuiet();
    void handleFrame(const QByteArray &frame);
    void answerDetection(const QList<QByteArray> &replies);
    void saveState();
    void hangUpWhenDrained();
    void checkDrained();

    SimOptions m_options;
    PanelState m_state;
    PseudoTerminal *m_line;
    PanelResponder m_responder;
    FrameSplitter m_splitter;
    TraceLog m_trace;
    ReplyWriter *m_writer;
    QSocketNotifier *m_reader;
    QTimer m_quietTimer;
    QTimer m_drainTimer;
    int m_frames = 0;
    int m_delayedAnswers = 0;
    bool m_hangupDue = false;
    int m_drainChecks = 0;
    int m_emptyChecks = 0;
};

// The print road: one table of (state, event) -> (next state, what is done and sent), the
// moves it makes, and the printing, paused and waiting flags, which are views of the state.
#include "kvPrinter.h"

#include "kvPrinterFile.h"

#include <QMetaEnum>
#include <QScopedValueRollback>
#include <QTimer>

namespace {

using State = kvPrinter::PrintState;
using Event = kvPrinter::PrintEvent;

// When a row applies, besides its state and event.
enum class When
{
    Always,
    Heated, // heated and no longer heating
    Identifying, // the handshake is still under way
    HasLines // identified, the port open, and lines in the print queue
};

// What a move does, in this order once the new state is announced (AnnounceEnd comes
// before it).
enum Effect : unsigned
{
    AnnounceEnd = 1u << 0, // PrintProcessFinished, while the state is still Printing
    ForgetLines = 1u << 1, // lines waiting for the firmware are dropped
    ForgetHeat = 1u << 2, // the firmware forgot its targets: neither heating nor heated
    StopPoll = 1u << 3, // the temperature poll stops
    HeatFirst = 1u << 4, // heaters on unless heating, and "Heating printer. ..."
    AwaitIdentity = 1u << 5, // "Waiting for the printer to be identified."
    SendM114 = 1u << 6, // "M114": its "ok" paces the first line
    Begin = 1u << 7, // "Print process begins.", PrintProcessBegin
    StartClock = 1u << 8, // progress 0, the print starts now, the print status tick
    NextLine = 1u << 9, // the next line of the queue
    PollNow = 1u << 10, // "M105" now, then the poll
    StopSequence = 1u << 11, // "M101" (Tovra), "M84", Z up 20, X and Y home
    RefillQueue = 1u << 12, // the next print starts from the first line
    PollLater = 1u << 13, // the poll runs again, its first tick a poll interval away
    StopClock = 1u << 14, // the print status tick stops
    HeatersOff = 1u << 15, // the heaters flagged to turn off after a print
    Finished = 1u << 16, // "Finished printing 3D model in N secs"
    Stopped = 1u << 17 // PrintStopped
};

constexpr unsigned BeginStream = StopPoll | SendM114 | Begin | StartClock;
constexpr unsigned StopStream = StopSequence | RefillQueue | PollLater | StopClock | Stopped;
// A halted or restarted firmware has dropped the print and its heaters itself.
constexpr unsigned DropPrint = ForgetLines | ForgetHeat | RefillQueue | StopClock | Stopped;
// The link is gone: nothing can be sent any more.
constexpr unsigned LosePrint = RefillQueue | StopClock | Stopped;

struct Move
{
    State from;
    Event event;
    When when;
    State to;
    unsigned effects;
};

// The first row that matches the state, the event and its condition is the move; an event
// without a row changes nothing and sends nothing.
const Move Road[] = {
    // A print streams at once when the heaters are ready, otherwise it heats first.
    {State::Idle, Event::Print, When::Identifying, State::WaitingForHeat, AwaitIdentity},
    {State::Idle, Event::Print, When::Heated, State::Printing, BeginStream},
    {State::Idle, Event::Print, When::Always, State::WaitingForHeat, HeatFirst},
    {State::WaitingForHeat, Event::Print, When::Identifying, State::WaitingForHeat, AwaitIdentity},
    {State::WaitingForHeat, Event::Print, When::Heated, State::Printing, BeginStream},
    {State::WaitingForHeat, Event::Print, When::Always, State::WaitingForHeat, HeatFirst},
    {State::WaitingForHeat, Event::Refused, When::Always, State::Idle, 0},
    {State::WaitingForHeat, Event::HeatReached, When::Always, State::Printing, BeginStream},
    // A print handed over paused waits for the resume button, heaters as they are.
    {State::Idle, Event::Hold, When::Always, State::PausedWaiting, 0},

    // The pause button holds what is under way; on an idle printer it does nothing.
    {State::Printing, Event::Pause, When::Always, State::Paused, PollNow},
    {State::WaitingForHeat, Event::Pause, When::Always, State::PausedWaiting, PollNow},
    // Resuming a print that has not streamed yet starts it as every print starts.
    {State::Paused, Event::Resume, When::Always, State::Printing, StopPoll | NextLine},
    {State::PausedWaiting, Event::Resume, When::Heated, State::Printing, BeginStream},
    {State::PausedWaiting, Event::Resume, When::Always, State::WaitingForHeat, HeatFirst},
    // On an idle printer the resume button streams the lines its queue holds, unheated.
    {State::Idle, Event::Resume, When::HasLines, State::Printing,
        StopPoll | Begin | StartClock | NextLine},

    // The cancel button and killPrint: a print that has streamed gets the stop sequence;
    // the heaters stay on. Cancel always tells the window its print is off.
    {State::Printing, Event::Cancel, When::Always, State::Idle, StopStream},
    {State::Paused, Event::Cancel, When::Always, State::Idle, StopStream},
    {State::WaitingForHeat, Event::Cancel, When::Always, State::Idle, Stopped},
    {State::PausedWaiting, Event::Cancel, When::Always, State::Idle, Stopped},
    {State::Idle, Event::Cancel, When::Always, State::Idle, Stopped},
    {State::Printing, Event::Stop, When::Always, State::Idle, StopStream},
    {State::Paused, Event::Stop, When::Always, State::Idle, StopStream},
    {State::WaitingForHeat, Event::Stop, When::Always, State::Idle, Stopped},
    {State::PausedWaiting, Event::Stop, When::Always, State::Idle, Stopped},

    // The last line went out: the window stops the print inside PrintProcessFinished.
    {State::Printing, Event::EndOfFile, When::Always, State::Idle,
        AnnounceEnd | StopClock | HeatersOff | Finished},

    // A firmware that refused a line of the print's and goes on: the part is spoiled, the
    // print stops as Stop stops it. Before the first line nothing is spoiled.
    {State::Printing, Event::Error, When::Always, State::Idle, StopStream},
    {State::Paused, Event::Error, When::Always, State::Idle, StopStream},

    // A halted firmware takes no line until it restarts: no stop sequence. The poll goes on,
    // so that its readouts are never shown as live once it has fallen silent.
    {State::Printing, Event::Halt, When::Always, State::Idle, DropPrint | PollLater},
    {State::Paused, Event::Halt, When::Always, State::Idle, DropPrint | PollLater},
    {State::WaitingForHeat, Event::Halt, When::Always, State::Idle, DropPrint | PollLater},
    {State::PausedWaiting, Event::Halt, When::Always, State::Idle, DropPrint | PollLater},
    {State::Idle, Event::Halt, When::Always, State::Idle, ForgetLines | ForgetHeat | PollLater},
    {State::Printing, Event::Restart, When::Always, State::Idle, DropPrint | PollLater},
    {State::Paused, Event::Restart, When::Always, State::Idle, DropPrint | PollLater},
    {State::WaitingForHeat, Event::Restart, When::Always, State::Idle, DropPrint | PollLater},
    {State::PausedWaiting, Event::Restart, When::Always, State::Idle, DropPrint | PollLater},
    {State::Idle, Event::Restart, When::Always, State::Idle, ForgetLines | ForgetHeat | PollLater},
    {State::Printing, Event::LostPort, When::Always, State::Idle, LosePrint},
    {State::Paused, Event::LostPort, When::Always, State::Idle, LosePrint},
    {State::WaitingForHeat, Event::LostPort, When::Always, State::Idle, LosePrint},
    {State::PausedWaiting, Event::LostPort, When::Always, State::Idle, LosePrint},
    {State::Printing, Event::TimeOut, When::Always, State::Idle, LosePrint},
    {State::Paused, Event::TimeOut, When::Always, State::Idle, LosePrint},
    {State::WaitingForHeat, Event::TimeOut, When::Always, State::Idle, LosePrint},
    {State::PausedWaiting, Event::TimeOut, When::Always, State::Idle, LosePrint},
};

// The flags of enterState's announcements.
enum Flag : unsigned
{
    PrintingFlag = 1u << 0,
    PausedFlag = 1u << 1,
    WaitingFlag = 1u << 2
};

// The flag a state sets.
unsigned flagOf(State pState)
{
    switch (pState) {
    case State::Printing:
        return PrintingFlag;
    case State::Paused:
    case State::PausedWaiting:
        return PausedFlag;
    case State::WaitingForHeat:
        return WaitingFlag;
    case State::Idle:
        break;
    }
    return 0;
}

const char *const HeatingStatus
    = "Heating printer. Print will start when printer is heated to correct temperature.";

template <typename T> QString enumName(T pValue)
{
    return QString::fromLatin1(QMetaEnum::fromType<T>().valueToKey(int(pValue)));
}

} // namespace

QString kvPrinter::printStateName(PrintState pState)
{
    return enumName(pState);
}

QString kvPrinter::printEventName(PrintEvent pEvent)
{
    return enumName(pEvent);
}

bool kvPrinter::fire(PrintEvent pEvent)
{
    const State tFrom = m_printState;
    const auto tHolds = [this](When pWhen) {
        switch (pWhen) {
        case When::Always:
            return true;
        case When::Heated:
            return m_isHeated && !m_isHeating;
        case When::Identifying:
            return m_connectTimeOutTimer->isActive();
        case When::HasLines:
            return m_isConnected && canSend() && m_printerFile
                && !m_printerFile->isGCodeQueueEmpty();
        }
        return false;
    };
    const Move *tMove = nullptr;
    for (const Move &tRow : Road) {
        if (tRow.from == tFrom && tRow.event == pEvent && tHolds(tRow.when)) {
            tMove = &tRow;
            break;
        }
    }
    if (!tMove) {
        printerDebug(QStringLiteral("print road: ") + printEventName(pEvent)
            + QStringLiteral(" changes nothing while ") + printStateName(tFrom));
        return false;
    }
    printerDebug(QStringLiteral("print road: ") + printStateName(tFrom) + QStringLiteral(" -> ")
        + printStateName(tMove->to) + QStringLiteral(" (") + printEventName(pEvent)
        + QStringLiteral(")"));

    const unsigned tDo = tMove->effects;
    if (tDo & AnnounceEnd) {
        emit PrintProcessFinished();
    }
    // A move back into the same state tells the flag it sets again.
    enterState(tMove->to, tMove->to == tFrom ? flagOf(tFrom) : 0);

    if (tDo & ForgetLines) {
        forgetOutgoing();
    }
    if (tDo & ForgetHeat) {
        setIsHeating(false);
        setIsHeated(false);
    }
    if (tDo & StopPoll) {
        m_checkHeatTimer->stop();
    }
    if (tDo & HeatFirst) {
        if (!m_isHeating) {
            heatPrinter(true);
        }
        setStatusString(QLatin1String(HeatingStatus));
    }
    if (tDo & AwaitIdentity) {
        setStatusString(QStringLiteral("Waiting for the printer to be identified."));
    }
    if (tDo & SendM114) {
        const QScopedValueRollback<bool> tOfPrint(m_queueingPrint, true);
        sendCommandToPrinter(QStringLiteral("M114"));
    }
    if (tDo & Begin) {
        setStatusString(QStringLiteral("Print process begins."));
        emit PrintProcessBegin();
    }
    if (tDo & StartClock) {
        m_printingProgress = 0;
        m_printStart = m_clock();
        m_printingStatusTimer->start();
    }
    if (tDo & NextLine) {
        sendNextLine();
    }
    if (tDo & PollNow) {
        startCheckHeatTimer();
    }
    if (tDo & StopSequence) {
        if (machineType().contains(QLatin1String("Tovra"))) {
            sendCommandToPrinter(QStringLiteral("M101"));
        }
        sendCommandToPrinter(QStringLiteral("M84"));
        move(Kv::Defines::CoordinateZ, 20.0f);
        moveHome(Kv::Defines::CoordinateX);
        moveHome(Kv::Defines::CoordinateY);
    }
    if ((tDo & RefillQueue) && m_printerFile) {
        m_printerFile->resetQueue();
    }
    if ((tDo & PollLater) && !m_checkHeatTimer->isActive()) {
        m_checkHeatTimer->start();
    }
    if (tDo & StopClock) {
        m_printingStatusTimer->stop();
    }
    if (tDo & HeatersOff) {
        for (int i = 0; i < extruderCount(); ++i) {
            if (m_extruderTurnOffAfterPrint.at(i)) {
                sendHeatExtruder(false, i, 0.0f);
            }
        }
        if (m_bedTurnOffAfterPrint) {
            sendHeatBed(false, 0.0f);
        }
    }
    if (tDo & Finished) {
        sendStatusChanged(QStringLiteral("Finished printing 3D model in ")
            + QString::number(printElapsedMs() / 1000) + QStringLiteral("secs"));
    }
    if (tDo & Stopped) {
        // A calibration stopped before its coefficients arrived is over all the same.
        m_calibrationRunning = false;
        emit PrintStopped(this);
    }
    return true;
}

void kvPrinter::enterState(PrintState pState, unsigned pAnnounce)
{
    const bool tWasPrinting = isPrinting();
    const bool tWasPaused = isPaused();
    const bool tWasWaiting = isWaitingToPrint();
    const State tFrom = m_printState;
    m_printState = pState;

    const struct
    {
        bool was;
        bool is;
        unsigned flag;
        void (kvPrinter::*signal)(kvPrinter *, bool);
    } tFlags[] = {
        {tWasPrinting, isPrinting(), PrintingFlag, &kvPrinter::IsPrintingChanged},
        {tWasPaused, isPaused(), PausedFlag, &kvPrinter::IsPausedChanged},
        {tWasWaiting, isWaitingToPrint(), WaitingFlag, &kvPrinter::IsWaitingToPrintChanged},
    };
    bool tTold = false;
    // The flags that go off are told first, then those that come on.
    for (const bool tOn : {false, true}) {
        for (const auto &tFlag : tFlags) {
            if (tFlag.is == tOn && (tFlag.was != tFlag.is || (pAnnounce & tFlag.flag))) {
                emit(this->*tFlag.signal)(this, tFlag.is);
                tTold = true;
            }
        }
    }
    if (tTold || tFrom != pState) {
        updateWindows();
    }
    if (tFrom != pState) {
        emit PrintStateChanged(this, pState);
    }
}

void kvPrinter::setIsPrinting(bool pValue)
{
    const State tState = pValue ? State::Printing : isPrinting() ? State::Idle : m_printState;
    enterState(tState, PrintingFlag);
}

void kvPrinter::setIsPaused(bool pValue)
{
    State tState = m_printState;
    if (pValue) {
        tState = (isWaitingToPrint() || m_printState == State::PausedWaiting) ? State::PausedWaiting
                                                                              : State::Paused;
    } else if (isPaused()) {
        tState = State::Idle;
    }
    enterState(tState, PausedFlag);
}

void kvPrinter::setIsWaitingToPrint(bool pValue)
{
    const State tState = pValue ? State::WaitingForHeat
        : isWaitingToPrint()    ? State::Idle
                                : m_printState;
    enterState(tState, WaitingFlag);
}

// Every step of Connect broken by every fault in turn; the promises are in
// tst_fault_injection.h.

#include "tst_fault_injection.h"

using namespace FaultMatrix;

namespace {

const QList<Expect> Table = {
    {Step::Greeting, Fault::CloseControl, false, 7},
    // A silent greeting ends at the time-out; a garbled one names itself.
    {Step::Greeting, Fault::Stall, false, 58},
    {Step::Greeting, Fault::Garbage, false, 64},
    {Step::Greeting, Fault::Reply421, false, 41},
    {Step::Greeting, Fault::Reply426, false, 43},
    // A refused log-in step reads as "Not logged in." (52); no answer at all
    // (a closed connection, a time-out) says so instead.
    {Step::User, Fault::CloseControl, false, 7},
    {Step::User, Fault::Stall, false, 58},
    {Step::User, Fault::Garbage, false, 52},
    {Step::User, Fault::Reply421, false, 52},
    {Step::User, Fault::Reply426, false, 52},
    {Step::Pass, Fault::CloseControl, false, 7},
    {Step::Pass, Fault::Stall, false, 58},
    {Step::Pass, Fault::Garbage, false, 52},
    {Step::Pass, Fault::Reply421, false, 52},
    {Step::Pass, Fault::Reply426, false, 52},
    // A failed PWD does not undo the log-in.
    {Step::Pwd, Fault::CloseControl, true, -1},
    {Step::Pwd, Fault::Stall, true, -1},
    {Step::Pwd, Fault::Garbage, true, -1},
    {Step::Pwd, Fault::Reply421, true, -1},
    {Step::Pwd, Fault::Reply426, true, -1},
};

} // namespace

class TestFaultInjectionConnect : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        qInfo().noquote() << grid("Connect: last error per step x fault", Table);
    }
    void matrix_data() { addRows(Table); }
    void matrix() { runCase(Op::Connect); }
};

QTEST_GUILESS_MAIN(TestFaultInjectionConnect)
#include "tst_fault_injection_connect.moc"

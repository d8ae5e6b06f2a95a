// Every step of EnumFiles broken by every fault in turn; the promises are in
// tst_fault_injection.h.

#include "tst_fault_injection.h"

using namespace FaultMatrix;

namespace {

const QList<Expect> Table = {
    // The server closes the control connection: seen at the time-out (58).
    // A line without a code is a failed step that leaves the last error as it
    // was (0 after the log-in).
    {Step::Pasv, Fault::CloseControl, false, 7},
    {Step::Pasv, Fault::Stall, false, 58},
    {Step::Pasv, Fault::Garbage, false, 64},
    {Step::Pasv, Fault::Reply421, false, 41},
    {Step::Pasv, Fault::Reply426, false, 43},
    {Step::DataConnect, Fault::CloseData, false, 42},
    {Step::Preliminary, Fault::CloseControl, false, 7},
    {Step::Preliminary, Fault::Stall, false, 58},
    {Step::Preliminary, Fault::Garbage, false, 64},
    {Step::Preliminary, Fault::Reply421, false, 41},
    {Step::Preliminary, Fault::Reply426, false, 43},
    {Step::Data, Fault::CloseControl, false, 7},
    {Step::Data, Fault::CloseData, false, 45},
    {Step::Data, Fault::Stall, false, 58},
    {Step::Data, Fault::Garbage, false, 64},
    {Step::Data, Fault::Reply421, false, 41},
    {Step::Data, Fault::Reply426, false, 43},
    {Step::Final, Fault::CloseControl, false, 7},
    {Step::Final, Fault::Stall, false, 58},
    {Step::Final, Fault::Garbage, false, 64},
    {Step::Final, Fault::Reply421, false, 41},
    {Step::Final, Fault::Reply426, false, 43},
};

} // namespace

class TestFaultInjectionListing : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        qInfo().noquote() << grid("EnumFiles: last error per step x fault", Table);
    }
    void matrix_data() { addRows(Table); }
    void matrix() { runCase(Op::EnumFiles); }
};

QTEST_GUILESS_MAIN(TestFaultInjectionListing)
#include "tst_fault_injection_listing.moc"

// Every step of UploadFile broken by every fault in turn; the promises are in
// tst_fault_injection.h.

#include "tst_fault_injection.h"

using namespace FaultMatrix;

namespace {

const QList<Expect> Table = {
    {Step::Type, Fault::CloseControl, false, 7},
    {Step::Type, Fault::Stall, false, 58},
    {Step::Type, Fault::Garbage, false, 64},
    {Step::Type, Fault::Reply421, false, 41},
    {Step::Type, Fault::Reply426, false, 43},
    {Step::Pasv, Fault::CloseControl, false, 7},
    {Step::Pasv, Fault::Stall, false, 58},
    {Step::Pasv, Fault::Garbage, false, 64},
    {Step::Pasv, Fault::Reply421, false, 41},
    {Step::Pasv, Fault::Reply426, false, 43},
    {Step::DataConnect, Fault::CloseData, false, 42},
    {Step::Rest, Fault::CloseControl, false, 7},
    {Step::Rest, Fault::Stall, false, 58},
    {Step::Rest, Fault::Garbage, false, 64},
    {Step::Rest, Fault::Reply421, false, 41},
    {Step::Rest, Fault::Reply426, false, 43},
    {Step::Preliminary, Fault::CloseControl, false, 7},
    {Step::Preliminary, Fault::Stall, false, 58},
    {Step::Preliminary, Fault::Garbage, false, 64},
    {Step::Preliminary, Fault::Reply421, false, 41},
    {Step::Preliminary, Fault::Reply426, false, 43},
    // A data connection the server resets mid-file reads as its close; with
    // the server silent the STOR wait ends at the time-out.
    {Step::Data, Fault::CloseControl, false, 7},
    {Step::Data, Fault::CloseData, false, 58},
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

class TestFaultInjectionUpload : public QObject {
    Q_OBJECT
private slots:
    // Every transfer once with zero copy and once copying.
    void initTestCase_data() { TestUtil::addTransferPaths(); }
    void initTestCase() {
        qInfo().noquote() << grid("UploadFile: last error per step x fault", Table);
    }
    void matrix_data() { addRows(Table); }
    void matrix() { runCase(Op::UploadFile); }
};

QTEST_GUILESS_MAIN(TestFaultInjectionUpload)
#include "tst_fault_injection_upload.moc"

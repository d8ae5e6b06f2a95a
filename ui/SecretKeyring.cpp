#include "SecretKeyring.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <qt6keychain/keychain.h>

namespace {

const QString Service = QStringLiteral("Krellin");

Keyring::Status statusOf(QKeychain::Error error) {
    switch (error) {
    case QKeychain::NoError:
        return Keyring::Status::Ok;
    case QKeychain::EntryNotFound:
        return Keyring::Status::NotFound;
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented:
        return Keyring::Status::Unavailable;
    default:
        return Keyring::Status::Failed;
    }
}

// QtKeychain answers through the event loop; the caller wants the answer
// now, as it wants an answer from a modal box. The job is left to delete
// itself, so a late answer after the time-out lands nowhere.
Keyring::Result run(QKeychain::Job* job, int timeoutMs, QString* password = nullptr) {
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    Keyring::Result result;
    bool answered = false;
    QEventLoop loop;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&](QKeychain::Job* done) {
        answered = true;
        result.status = statusOf(done->error());
        if (result.status != Keyring::Status::Ok)
            result.error = done->errorString();
        else if (password)
            *password = static_cast<QKeychain::ReadPasswordJob*>(done)->textData();
        loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    job->start();
    if (!answered)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!answered) {
        QObject::disconnect(job, nullptr, &loop, nullptr);
        result.status = Keyring::Status::Unavailable;
        result.error = QCoreApplication::translate("SecretKeyring",
                                                   "the keyring did not answer within %1 seconds")
                           .arg(timeoutMs / 1000);
    }
    return result;
}

} // namespace

SecretKeyring::SecretKeyring(int answerTimeoutMs) : m_TimeoutMs(answerTimeoutMs) {}

Keyring::Result SecretKeyring::read(const QString& key) {
    auto* job = new QKeychain::ReadPasswordJob(Service);
    job->setKey(key);
    QString password;
    Result result = run(job, m_TimeoutMs, &password);
    result.password = password;
    return result;
}

Keyring::Result SecretKeyring::write(const QString& key, const QString& password) {
    auto* job = new QKeychain::WritePasswordJob(Service);
    job->setKey(key);
    job->setTextData(password);
    return run(job, m_TimeoutMs);
}

Keyring::Result SecretKeyring::remove(const QString& key) {
    auto* job = new QKeychain::DeletePasswordJob(Service);
    job->setKey(key);
    Result result = run(job, m_TimeoutMs);
    if (result.status == Status::NotFound)
        result = Result{Status::Ok, {}, {}};
    return result;
}

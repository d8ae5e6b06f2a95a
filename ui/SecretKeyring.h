#pragma once

#include "Keyring.h"

// The desktop keyring through QtKeychain: the Secret Service (GNOME Keyring,
// KWallet) on the session bus. Entries carry the service name "Krellin".
// QtKeychain's insecure fallback (a plain-text settings file) stays off.
class SecretKeyring : public Keyring {
public:
    // How long one request may go unanswered before the keyring counts as
    // unavailable; long enough for the user to unlock a locked keyring.
    static constexpr int AnswerTimeoutMs = 120000;

    explicit SecretKeyring(int answerTimeoutMs = AnswerTimeoutMs);

    Result read(const QString& key) override;
    Result write(const QString& key, const QString& password) override;
    Result remove(const QString& key) override;

private:
    int m_TimeoutMs;
};

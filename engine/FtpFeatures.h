#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// What a server offers in its answer to FEAT (RFC 2389): one feature a line,
// each line starting with a blank, between a "211-" first line and a "211 "
// last one. A server that refuses FEAT offers nothing beyond RFC 959.
class FtpFeatures {
public:
    // The whole text of a 211 reply; anything else (a refusal, a text
    // without a 211 final line) gives the empty set.
    static FtpFeatures FromReply(const QString& replyText);

    bool Known() const { return m_Known; } // the server answered FEAT with 211

    // Feature names are case-insensitive; the parameters are as the server
    // wrote them ("TLS" for AUTH, the fact list for MLST).
    bool Has(const QString& name) const;
    QString Parameters(const QString& name) const;

    bool AuthTls() const; // AUTH with TLS among its mechanisms
    bool Pbsz() const { return Has(QStringLiteral("PBSZ")); }
    bool Prot() const { return Has(QStringLiteral("PROT")); }
    bool Epsv() const { return Has(QStringLiteral("EPSV")); }
    bool Eprt() const { return Has(QStringLiteral("EPRT")); }
    bool Mlst() const { return Has(QStringLiteral("MLST")); }
    bool Utf8() const { return Has(QStringLiteral("UTF8")); }
    bool RestStream() const; // REST STREAM, not only REST
    bool Size() const { return Has(QStringLiteral("SIZE")); }
    bool Mdtm() const { return Has(QStringLiteral("MDTM")); }

    // MLST facts in lower case, as offered; those marked "*" are the ones
    // the server sends now.
    QStringList MlstFacts() const;
    QStringList MlstFactsEnabled() const;

private:
    bool m_Known = false;
    // Upper-case name -> parameters. AUTH may come on several lines
    // ("AUTH SSL", "AUTH TLS"): their parameters are joined with ";".
    QHash<QString, QString> m_Features;
};

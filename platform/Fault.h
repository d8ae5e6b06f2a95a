#pragma once

#include <QString>
#include <exception>

namespace platform {

// A fault: an error the engine does not handle as a value. It carries the
// classic error number, the system's description and the source that raised it.
class Fault : public std::exception {
public:
    Fault(qint32 number, QString description, QString source = {})
        : m_Number(number), m_Description(std::move(description)), m_Source(std::move(source)) {}

    qint32 number() const { return m_Number; }
    const QString& description() const { return m_Description; }
    const QString& source() const { return m_Source; }
    void setSource(const QString& source) { m_Source = source; }

    const char* what() const noexcept override { return "platform::Fault"; }

private:
    qint32 m_Number;
    QString m_Description;
    QString m_Source;
};

} // namespace platform

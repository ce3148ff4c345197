#pragma once
#include <stdexcept>
#include <QString>

// Every engine failure becomes this one exception, carrying the engine's own text and,
// when the engine gave one, its primary result code.
class DbError : public std::runtime_error
{
public:
    explicit DbError(const QString &text, int code = 0)
        : std::runtime_error(text.toStdString()), m_text(text), m_code(code) {}
    QString text() const { return m_text; }
    int code() const { return m_code; }

private:
    QString m_text;
    int m_code;
};

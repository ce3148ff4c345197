#pragma once
// A file that cannot be read as a bill: the text tells the user why, in words.
#include <stdexcept>
#include <QString>

namespace imports {

class ImportError : public std::runtime_error
{
public:
    enum class Kind { BadFile, NeedsPassword, WrongPassword };
    explicit ImportError(const QString &text, Kind kind = Kind::BadFile)
        : std::runtime_error(text.toStdString()), m_text(text), m_kind(kind) {}
    QString text() const { return m_text; }
    Kind kind() const { return m_kind; }

private:
    QString m_text;
    Kind m_kind;
};

} // namespace imports

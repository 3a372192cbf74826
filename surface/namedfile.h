#pragma once

#include <QFile>
#include <QString>

#include <cstdio>
#include <memory>
#include <string>

namespace quenzil {

// A file opened for reading by its name as a command line gives it: on POSIX systems by the
// bytes of the name, since Qt would turn it into Unicode text first and a name that is not valid
// UTF-8 does not survive that; on Windows the names come as UTF-8 already. A folder is refused.
class NamedFile
{
public:
    // Opens the file; returns why it cannot be opened, or the empty text.
    QString open(const std::string &name);
    QFile &file() { return m_file; }

private:
    // The stream the file reads through, where it was opened by its bytes; it outlives the file.
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> m_stream{nullptr, &std::fclose};
    QFile m_file;
};

} // namespace quenzil

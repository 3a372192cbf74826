#include "namedfile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace quenzil {

QString NamedFile::open(const std::string &name)
{
    std::error_code ignored;
    if (std::filesystem::is_directory(std::filesystem::path(name), ignored))
        return QStringLiteral("Is a directory");
#ifdef _WIN32
    m_file.setFileName(QString::fromUtf8(name.data(), qsizetype(name.size())));
    if (!m_file.open(QIODevice::ReadOnly))
        return m_file.errorString();
#else
    m_stream.reset(std::fopen(name.c_str(), "rb"));
    if (!m_stream)
        return QString::fromLocal8Bit(std::strerror(errno));
    if (!m_file.open(m_stream.get(), QIODevice::ReadOnly))
        return m_file.errorString();
#endif
    return {};
}

} // namespace quenzil

// The daily communication log: one record per executed command, appended to
// "<application directory>/log/Log_YYYY_MM_DD.txt".
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <string>

#include "engine/comando.h"
#include "engine/env.h"

namespace ordavo {
namespace {

const char* const kAsteriscos = "**************************************************************";

// The file was written in text mode on the original platform: every LF reaches the disk as
// CR LF, including the LF of a CR LF pair already in a text.
std::string ModoTexto(const std::string& record) {
    std::string out;
    out.reserve(record.size() + record.size() / 16 + 16);
    for (char ch : record) {
        if (ch == '\n') out += '\r';
        out += ch;
    }
    return out;
}

bool EscreverTudo(int fd, const std::string& bytes) {
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

int32_t Comando::GravarLog() {
    Environment& env = EngineEnv();
    // One reading of the clock gives both the file's day and the record's stamp.
    const std::time_t now = env.clock->Now();
    std::tm local{};
    if (!::localtime_r(&now, &local)) return 0;

    const std::string& app_dir = env.settings->AppDirectory;
    // Without a known application directory the log goes under the current directory rather
    // than the file-system root.
    const std::string dir = app_dir.empty() ? std::string("log") : app_dir + "/log";
    ::mkdir(dir.c_str(), 0777);  // an existing directory is fine; other failures show at open

    char file_name[64];
    if (std::strftime(file_name, sizeof file_name, "/Log_%Y_%m_%d.txt", &local) == 0) return 0;
    char stamp[64];
    if (std::strftime(stamp, sizeof stamp, "%d/%m/%Y \t %H:%M:%S\n", &local) == 0) return 0;

    std::string record;
    record += "\n";
    record += kAsteriscos;
    record += "\n";
    record += stamp;
    record += "T\xEDtulo do Comando\tEscape\n";
    record += titulo;
    record += "\t";
    record += escape;
    record += "\nPar\xE2metros:\n";
    for (const Parametro& p : parametros) {
        record += "\n";
        record += p.titulo;
        record += "\t";
        record += p.valor;
    }
    record += "\nRetornos:\n";
    for (const Retorno& r : retornos) {
        record += "\n";
        record += r.titulo;
        record += "\t";
        record += r.valor_formatado;
        record += "\n";
    }
    record += "\nRetorno formatado:\n";
    record += retorno_formatado;
    record += "\n";
    record += kAsteriscos;

    const std::string path = dir + file_name;
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return 0;  // the record is lost; the command's result stays as it is
    // One write for the whole record, so that two programs logging at once do not interleave.
    (void)EscreverTudo(fd, ModoTexto(record));
    ::close(fd);
    return 0;
}

}  // namespace ordavo

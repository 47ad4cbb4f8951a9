// The simulator's end of the line: a pseudo-terminal whose slave end is published as a
// symbolic link. The simulator keeps a slave descriptor of its own so that the master never
// sees a hang-up while the program under test opens and closes the slave for every command.
#pragma once

#include <string>

namespace ordavo::sim {

class Pty {
  public:
    Pty() = default;
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    // Creates the pair, sets both ends raw (9600 8N2 on the slave) and links `link_path` to the
    // slave. An existing symbolic link is replaced; any other file is left alone and refused.
    bool Open(const std::string& link_path, std::string* error);
    // Removes the link (when it still points at this slave) and closes everything.
    void Close();

    int master() const { return master_; }
    // Readable when the slave has been closed by somebody.
    int watch() const { return watch_; }
    const std::string& slave_name() const { return slave_name_; }

    // After the program under test closed the slave: a real port is released at its last close,
    // so an exclusive-use flag it set must not outlive it. Returns true when one was cleared.
    bool OnSlaveClosed();

    // The line speed the program set on the slave end (its input speed), in baud; 0 when not
    // known.
    int SlaveBaud() const;

  private:
    int master_ = -1;
    int slave_ = -1;
    int watch_ = -1;
    std::string slave_name_;
    std::string link_path_;
};

}  // namespace ordavo::sim

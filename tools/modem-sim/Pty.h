#pragma once

#include <string>

namespace sim {

// The master side of a pseudo-terminal; the program under test opens the
// slave device. Non-blocking throughout.
class Pty
{
public:
    ~Pty();
    bool open(std::string& error);
    void close();
    const std::string& slavePath() const { return m_slavePath; }
    int fd() const { return m_master; }

    // True while some program holds the slave device open.
    bool clientPresent() const;
    // Bytes the program has not read yet (what we wrote to it).
    int clientUnread() const;
    // Returns the count read, 0 when nothing is waiting.
    size_t read(char* buffer, size_t max);
    // Returns the count the kernel took.
    size_t write(const char* data, size_t size);

private:
    int m_master = -1;
    std::string m_slavePath;
};

} // namespace sim

#pragma once

namespace pictavo::test {

// Makes file permissions bind this process for the object's lifetime, so that tests of
// unreadable files and read-only folders also run as root (CI runs as root). Root keeps
// its identity but loses, for the time being, the capabilities that let it read, write
// and search past permission bits; a file root owns then obeys its owner bits.
class FilePermissionsApply
{
public:
    FilePermissionsApply();
    ~FilePermissionsApply();
    FilePermissionsApply(const FilePermissionsApply &) = delete;
    FilePermissionsApply &operator=(const FilePermissionsApply &) = delete;

    // False when permissions still do not bind (root whose capabilities could not be
    // dropped): the test cannot show anything and should be skipped.
    bool active() const { return m_active; }

private:
    bool m_restore = false;
    bool m_active = false;
};

} // namespace pictavo::test

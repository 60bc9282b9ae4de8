// User messages of the logic: the program shows them as message boxes, other front ends print them.
#ifndef ROTACONF_USERMESSAGES_H
#define ROTACONF_USERMESSAGES_H

#include <QString>

// Where the logic sends what the user must read. The program installs one that shows error boxes
// (critical icon, one Cancel button) and information boxes (one OK button); the command line prints.
class TUserMessages {
public:
    virtual ~TUserMessages() = default;
    virtual void Error(const QString &Text) = 0;
    virtual void Info(const QString &Text) = 0;
};

// Installs the process-wide receiver (not owned; nullptr restores the default, which prints to
// standard error). Returns the one that was installed before.
TUserMessages *SetUserMessages(TUserMessages *Messages);
// The receiver in force; never null.
TUserMessages &UserMessages();

#endif

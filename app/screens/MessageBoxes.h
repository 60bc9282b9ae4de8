// The program's way of showing the logic's messages: modal message boxes.
#ifndef ROTACONF_MESSAGEBOXES_H
#define ROTACONF_MESSAGEBOXES_H

#include "UserMessages.h"

// Error boxes carry the critical icon and one Cancel button, information boxes one OK button; both
// wait for the user. The box is owned by the active window.
class TBoxMessages final : public TUserMessages {
public:
    void Error(const QString &Text) override;
    void Info(const QString &Text) override;
};

#endif

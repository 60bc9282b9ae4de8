#include "UserMessages.h"

#include <cstdio>

namespace {

class TStderrMessages final : public TUserMessages {
public:
    void Error(const QString &Text) override { Print("Error: ", Text); }
    void Info(const QString &Text) override { Print("", Text); }

private:
    static void Print(const char *Prefix, const QString &Text)
    {
        // The two-line messages join their lines with a carriage return; a terminal wants a newline.
        QString Shown = Text;
        Shown.replace(QChar('\r'), QChar('\n'));
        std::fprintf(stderr, "%s%s\n", Prefix, Shown.toLocal8Bit().constData());
        std::fflush(stderr);
    }
};

TStderrMessages DefaultMessages;
TUserMessages *Installed = nullptr;

} // namespace

TUserMessages *SetUserMessages(TUserMessages *Messages)
{
    TUserMessages *Previous = Installed;
    Installed = Messages;
    return Previous;
}

TUserMessages &UserMessages()
{
    return Installed ? *Installed : DefaultMessages;
}

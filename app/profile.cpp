#include "app/profile.h"

#include <cstdio>
#include <cstring>

#include "rte/formatio.h"
#include "rte/userint.h"
#include "rte/utility.h"

// The name as the operator typed it, for a message: printable ASCII, cut.
template <std::size_t N>
static void shown_name(const char *name, char (&text)[N])
{
    std::size_t i = 0;
    for (; name[i] != '\0' && i + 4 < N; ++i)
        text[i] = name[i] >= 0x20 && name[i] < 0x7f ? name[i] : '?';
    if (name[i] != '\0')
        for (int dot = 0; dot < 3; ++dot)
            text[i++] = '.';
    text[i] = '\0';
}

static const char kUsage[] =
    "Start the program as \"vandrel\" for the analyser without a name, or as "
    "\"vandrel --profile NAME\" for the analyser NAME: letters (A to Z), digits, - and _, up to 32.";

static StartAs refuse(const char *why, int &status)
{
    char message[400];
    Fmt(message, "%s\n\n%s", why, kUsage);
    StartUpMessage("Vandrel cannot start", message);
    status = 2;
    return kStartNot;
}

StartAs read_command_line(int argc, char **argv, int &status)
{
    status = 0;
    const char *name = nullptr;
    bool chooser = false;
    for (int i = 1; i < argc; ++i) {
        char shown[48], why[200];
        if (std::strcmp(argv[i], "--profile") == 0 && i + 1 < argc && name == nullptr) {
            name = argv[++i];
        } else if (std::strncmp(argv[i], "--profile=", 10) == 0 && name == nullptr) {
            name = argv[i] + 10;
        } else if (std::strcmp(argv[i], "--another") == 0) {
            chooser = true;
        } else {
            shown_name(argv[i], shown);
            Fmt(why, "The program does not take \"%s\".", shown);
            return refuse(why, status);
        }
    }
    if (name != nullptr) {
        if (const char *fault = ProfileNameFault(name)) {
            char shown[48], why[200];
            shown_name(name, shown);
            Fmt(why, "The analyser name \"%s\" %s.", shown, fault);
            return refuse(why, status);
        }
        SelectProfile(name);
    }
    return chooser ? kStartChooser : kStartAnalyser;
}

int claim_analyser()
{
    long holder = 0;
    if (ClaimSettingsDir(&holder) != 0)
        return 1;  // claimed, or no settings folder to claim: nothing of it to keep apart
    char name[kProfileNameSize], who[80], message[300];
    GetProfile(name);
    if (name[0] != '\0')
        Fmt(who, "The analyser %s", name);
    else
        Fmt(who, "The analyser of this settings folder");
    // A start too many costs the operator no click where the open copy's
    // window came forward to say it.
    if (holder > 0) {
        Fmt(message, "%s is open already (process %d); its window was brought to the front.", who,
            static_cast<int>(holder));
        std::fprintf(stderr, "%s\n", message);
    } else {
        Fmt(message, "%s is open already.", who);
        StartUpMessage("Vandrel", message);
    }
    return 0;
}

void show_analyser(int panel)
{
    char name[kProfileNameSize];
    if (GetProfile(name) != 0 || name[0] == '\0')
        return;
    char title[160], titled[200];
    GetPanelAttribute(panel, kAttrTitle, title);
    Fmt(titled, "%s - %s", name, title);
    SetPanelAttribute(panel, kAttrTitle, titled);
}

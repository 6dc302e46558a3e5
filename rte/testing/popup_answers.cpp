// The queue of scripted answers that stands in for the operator at popups
// in tests, and the log of the popups shown.  Any program that uses it has
// every popup go through it from the start.
#include "rte/testing/testing.h"
#include "rte/ui/popup_script.h"

#include <cstdio>
#include <cstdlib>
#include <deque>

namespace rte::testing {
namespace {

using rte::ui::Answer;
using rte::ui::PopupKind;

std::deque<Answer> &answers()
{
    static std::deque<Answer> queue;
    return queue;
}

std::vector<std::string> &shown()
{
    static std::vector<std::string> log;
    return log;
}

const char *kindName(PopupKind kind)
{
    switch (kind) {
    case PopupKind::Message: return "a message acknowledgement";
    case PopupKind::Confirm: return "a yes/no answer";
    case PopupKind::File: return "a file choice";
    }
    return "";
}

// Logs the popup and, when answers are queued, takes the next one.  A
// queued answer of the wrong kind is a broken test script: stop loudly.
std::optional<Answer> scripted(PopupKind kind, const std::string &entry)
{
    shown().push_back(entry);
    if (answers().empty())
        return std::nullopt;
    Answer a = std::move(answers().front());
    answers().pop_front();
    if (a.kind != kind) {
        std::fprintf(stderr, "Popup \"%s\" wants %s, but the next queued answer is %s.\n", entry.c_str(),
                     kindName(kind), kindName(a.kind));
        std::abort();
    }
    return a;
}

const bool g_scripting = (rte::ui::setPopupScript(scripted), true);

}  // namespace

void queueConfirm(int answer) { answers().push_back({PopupKind::Confirm, answer, {}}); }
void queueMessageAck() { answers().push_back({PopupKind::Message, 0, {}}); }
void queueFileSelect(int result, const std::string &path) { answers().push_back({PopupKind::File, result, path}); }
const std::vector<std::string> &popupLog() { return shown(); }
void clearPopups()
{
    shown().clear();
    answers().clear();
}
int pendingAnswers() { return static_cast<int>(answers().size()); }

}  // namespace rte::testing

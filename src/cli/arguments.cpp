#include "cli/arguments.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <limits>

#include "cli/read_arguments.h"
#include "version/version.h"

namespace kelvane::cli {
namespace {

constexpr QLatin1StringView kTryHelp("Try 'kelvane --help' for more.\n");

// Any whole number; one too long for 64 bits is as good as the largest that fits (Pace counts
// rates above its fastest as the fastest).
std::optional<std::int64_t> WholeNumber(const QString& text) {
    if (text.isEmpty() ||
        !std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; })) {
        return {};
    }
    bool fits = false;
    const qlonglong value = text.toLongLong(&fits);
    return fits ? value : std::numeric_limits<std::int64_t>::max();
}

// Seconds as a decimal number: "2", "0.5", ".5".
std::optional<std::int64_t> Milliseconds(const QString& text) {
    static const QRegularExpression decimal(QStringLiteral("^([0-9]+\\.?[0-9]*|\\.[0-9]+)$"));
    if (!decimal.match(text).hasMatch()) {
        return {};
    }
    // Nobody waits for 30 years: a longer wait is that long, and fits in milliseconds.
    return std::llround(std::min(text.toDouble(), 1e9) * 1000);
}

// The --receive options into plan, or why they cannot be taken.
QString AddReceive(const Arguments& found, Plan& plan) {
    const Given* file = GivenFor(found, "receive");
    if (file == nullptr) {
        for (const char* option : {"from", "wait", "count"}) {
            if (GivenFor(found, option) != nullptr) {
                return QStringLiteral("--%1 goes with --receive").arg(QLatin1StringView(option));
            }
        }
        return {};
    }
    if (file->values.constFirst().isEmpty()) {
        return QStringLiteral("--receive needs a file name, or - for standard output");
    }
    ReceivePlan& receive = plan.receive.emplace();
    receive.file = file->bytes.constFirst();
    receive.from = ValueOf(found, "from");
    if (const std::optional<QString> wait = ValueOf(found, "wait")) {
        const std::optional<std::int64_t> ms = Milliseconds(*wait);
        if (!ms || *ms < 100) {
            return QStringLiteral("--wait %1: needs seconds from 0.1 up").arg(*wait);
        }
        receive.waitMs = *ms;
    }
    if (const std::optional<QString> count = ValueOf(found, "count")) {
        receive.count = WholeNumber(*count);
        if (!receive.count || *receive.count < 1) {
            return QStringLiteral("--count %1: needs a whole number of messages from 1")
                .arg(*count);
        }
    }
    return {};
}

// The options that send nothing into plan, or why they cannot be taken.
QString AddSettings(const Arguments& found, Plan& plan) {
    // Given twice, which one was meant?
    for (const Option& once : Options()) {
        const auto given = [&once](const auto& use) { return use.first == &once; };
        if (once.values > 0 && once.message == nullptr &&
            std::ranges::count_if(found.options, given) > 1) {
            return QStringLiteral("--%1 is given more than once").arg(QLatin1StringView(once.name));
        }
    }
    plan.list = GivenFor(found, "list") != nullptr;
    plan.to = ValueOf(found, "to");
    if (const std::optional<QString> rate = ValueOf(found, "rate")) {
        plan.bytesPerSecond = WholeNumber(*rate);
        if (!plan.bytesPerSecond) {
            return QStringLiteral("--rate %1: needs whole bytes per second, 0 for no pacing")
                .arg(*rate);
        }
    }
    return AddReceive(found, plan);
}

// The messages into plan, or every one that is wrong, each on a line of its own.
QString AddMessages(const Arguments& found, Plan& plan) {
    QString refusals;
    for (const auto& [option, use] : found.options) {
        if (option->message == nullptr) {
            continue;
        }
        Built built = option->message(use);
        if (auto* message = std::get_if<Message>(&built)) {
            plan.messages.push_back(std::move(*message));
        } else {
            refusals +=
                Said(use.argument + QStringLiteral(": ") + std::get<QString>(built)) + u'\n';
        }
    }
    return refusals;
}

}  // namespace

Parsed ParseArguments(const QList<QByteArray>& given) {
    const auto refuse = [](const QString& why) {
        return Parsed{{}, kRefused, {}, Said(why) + u'\n' + kUsage + kTryHelp};
    };
    const Arguments found = ReadArguments(given);
    if (!found.unreadable.isEmpty()) {
        return refuse(found.unreadable);
    }
    if (GivenFor(found, "help") != nullptr) {
        return {{}, kSent, HelpText(), {}};
    }
    if (GivenFor(found, "version") != nullptr) {
        return {{}, kSent, QStringLiteral("kelvane %1\n").arg(version::Text()), {}};
    }
    if (!found.positional.isEmpty()) {
        return refuse(
            QStringLiteral("unexpected argument '%1'").arg(found.positional.constFirst()));
    }
    Parsed parsed;
    if (const QString why = AddSettings(found, parsed.plan); !why.isEmpty()) {
        return refuse(why);
    }
    if (const QString refusals = AddMessages(found, parsed.plan); !refusals.isEmpty()) {
        return {{}, kRefused, {}, refusals};
    }
    if (parsed.plan.list == (!parsed.plan.messages.empty() || parsed.plan.receive)) {
        return refuse(parsed.plan.list ? QStringLiteral("--list sends nothing; give it alone")
                                       : QStringLiteral("no message to send"));
    }
    return parsed;
}

}  // namespace kelvane::cli

#pragma once

#include <optional>
#include <string>
#include <vector>

namespace bench {

enum class Verdict { met, missed, info };

// One figure of the run: our value, the bare floor measured in the same run
// (when there is one), and the target it is judged by.
struct Figure {
    std::string name;
    double value = 0;
    std::string unit;
    std::optional<double> floor;
    std::optional<double> ratio;  // value / floor, or the ratio the target is about
    std::string target;           // empty when the figure has none
    Verdict verdict = Verdict::info;
};

class Report {
public:
    void add(Figure figure) { figures.push_back(std::move(figure)); }
    void note(const std::string& key, const std::string& value) { notes.emplace_back(key, value); }

    // A fixed-width table for the terminal.
    std::string table() const;
    // The same figures as a JSON document.
    std::string json() const;
    int missed_count() const;

private:
    std::vector<Figure> figures;
    std::vector<std::pair<std::string, std::string>> notes;
};

}  // namespace bench

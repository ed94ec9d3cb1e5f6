#include "SeparatorSequence.h"

namespace corvane {

// Appended one character at a time and never written as one literal: the
// wrapper is scanned for the first occurrence of these bytes, so they must not
// appear anywhere inside the wrapper's own file.
std::vector<char> SeparatorSequence::getSeparatorSequence() {
    std::vector<char> sequence;
    sequence.reserve(length);
    sequence.push_back('4');
    sequence.push_back('7');
    sequence.push_back('0');
    sequence.push_back('0');
    sequence.push_back('8');
    sequence.push_back('6');
    sequence.push_back('4');
    sequence.push_back('1');
    sequence.push_back('2');
    sequence.push_back('7');
    sequence.push_back('4');
    sequence.push_back('9');
    sequence.push_back('5');
    sequence.push_back('3');
    sequence.push_back('8');
    sequence.push_back('3');
    sequence.push_back('1');
    sequence.push_back('7');
    sequence.push_back('7');
    sequence.push_back('7');
    sequence.push_back('7');
    sequence.push_back('5');
    return sequence;
}

}  // namespace corvane

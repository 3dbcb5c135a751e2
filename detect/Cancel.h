#pragma once

#include "detect/Error.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace detect {

// Long work given up because its caller asked.
class Cancelled : public Error {
public:
    Cancelled() : Error("cancelled") {}
};

// Asks the caller, as long work goes on, whether to give it up. The work counts what it has done
// in Advance (about a byte's handling per unit); the callback is asked once CostPerCheck has
// passed, and bulk work asks before each piece of BytesPerPiece.
class CancelPoll {
public:
    // Bulk byte work (reading, hashing, checking the padding) goes in pieces of this size.
    static constexpr std::size_t BytesPerPiece = std::size_t{1} << 20;
    // The cost of a short step (a record, a comparison, a state) when it names none.
    static constexpr std::size_t StepCost = 16;
    static constexpr std::size_t CostPerCheck = std::size_t{1} << 14;

    // Never cancels.
    CancelPoll() = default;
    explicit CancelPoll(std::function<bool()> aCancelled) : cancelled_(std::move(aCancelled)) {}

    // Counts a step of aCost; asks the callback once enough cost has passed. Throws Cancelled.
    void Advance(std::size_t aCost = StepCost) {
        cost_ += aCost;
        if (cost_ >= CostPerCheck) Check();
    }
    // Asks the callback now. Throws Cancelled when it says so.
    void Check() {
        cost_ = 0;
        if (cancelled_ && cancelled_()) throw Cancelled();
    }
    // Calls aWork(offset, length) over aLength bytes in pieces of at most BytesPerPiece, asking
    // before each piece. Throws Cancelled and whatever aWork throws.
    template <class Work> void InPieces(std::size_t aLength, Work&& aWork) {
        for (std::size_t at = 0; at < aLength; at += BytesPerPiece) {
            Check();
            aWork(at, aLength - at < BytesPerPiece ? aLength - at : BytesPerPiece);
        }
    }

    // Makes aVector aSize copies of aValue, touching its memory a piece at a time and asking
    // before each piece. Throws Cancelled.
    template <class T> void Assign(std::vector<T>& aVector, std::size_t aSize, const T& aValue) {
        aVector.clear();
        aVector.reserve(aSize);
        InPieces(aSize * sizeof(T), [&](std::size_t aAt, std::size_t aLength) {
            aVector.resize((aAt + aLength) / sizeof(T), aValue);
        });
    }

private:
    std::function<bool()> cancelled_;
    std::size_t cost_ = 0;
};

} // namespace detect

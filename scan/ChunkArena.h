// Append-only storage in large chunks: many small items without a heap block each.
#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

template <typename T>
class ChunkArena {
public:
    explicit ChunkArena(std::size_t aChunkCount) noexcept : chunkCount_(aChunkCount) {}

    // Room for aCount items that stays in place until Clear. Throws std::bad_alloc.
    T* Allocate(std::size_t aCount)
    {
        if (chunks_.empty() || chunks_.back().capacity - used_ < aCount) {
            const std::size_t capacity = std::max(chunkCount_, aCount);
            chunks_.push_back({std::make_unique_for_overwrite<T[]>(capacity), capacity});
            used_ = 0;
        }
        T* items = chunks_.back().items.get() + used_;
        used_ += aCount;
        return items;
    }

    void Clear() noexcept
    {
        std::vector<Chunk>().swap(chunks_);
        used_ = 0;
    }

    // The bytes held by the chunks.
    std::size_t ByteSize() const noexcept
    {
        std::size_t bytes = chunks_.capacity() * sizeof(Chunk);
        for (const Chunk& chunk : chunks_)
            bytes += chunk.capacity * sizeof(T);
        return bytes;
    }

private:
    struct Chunk {
        std::unique_ptr<T[]> items;
        std::size_t capacity;
    };

    std::vector<Chunk> chunks_;
    std::size_t used_ = 0;
    std::size_t chunkCount_;
};

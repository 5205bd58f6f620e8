// The programs' memory allocator. Every request is one short-lived, single-threaded process
// that builds one reply and exits, so memory is taken from a growing arena and never given
// back to the system before exit: an allocation is a pointer bump, and freeing the most
// recent block makes its space available again, and the block before it the most recent
// (blocks freed in the reverse order of their allocation all come back, as a short-lived
// object's do, and the block before them can grow in place again). This replaces the C
// library's allocator for the whole process (json-c's objects, stdio's buffers) and nothing
// else.
//
// Not thread-safe, by design: no part of the programs starts a thread.
#include <sys/mman.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

constexpr std::size_t kAlignment = 16;
constexpr std::size_t kHeader = kAlignment;               // each block's size and the block before it
constexpr std::size_t kChunk = std::size_t{1024} * 1024;  // further memory comes in chunks of this size
alignas(kAlignment) unsigned char g_first_chunk[kChunk];  // enough for the largest reply

unsigned char *g_next = g_first_chunk;
unsigned char *g_end = g_first_chunk + sizeof g_first_chunk;
unsigned char *g_last = nullptr;  // the most recent block, which can grow or be taken back

std::size_t RoundUp(std::size_t size) {
    return (size + kAlignment - 1) & ~(kAlignment - 1);
}

struct Header {
    std::size_t size;
    unsigned char *previous;  // the most recent block when this one was made
};
static_assert(sizeof(Header) <= kHeader);

Header &HeaderOf(void *block) {
    return *reinterpret_cast<Header *>(static_cast<unsigned char *>(block) - kHeader);
}

std::size_t &BlockSize(void *block) {
    return HeaderOf(block).size;
}

bool Grow(std::size_t needed) {
    const std::size_t size = needed + kHeader > kChunk ? RoundUp(needed + kHeader) : kChunk;
    void *chunk = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (chunk == MAP_FAILED) return false;
    g_next = static_cast<unsigned char *>(chunk);
    g_end = g_next + size;
    return true;
}

void *Allocate(std::size_t size) {
    const std::size_t rounded = RoundUp(size == 0 ? 1 : size);
    if (rounded < size || rounded > SIZE_MAX / 2) {
        errno = ENOMEM;
        return nullptr;
    }
    if (static_cast<std::size_t>(g_end - g_next) < rounded + kHeader && !Grow(rounded)) {
        errno = ENOMEM;
        return nullptr;
    }
    unsigned char *block = g_next + kHeader;
    g_next = block + rounded;
    HeaderOf(block) = {rounded, g_last};
    g_last = block;
    return block;
}

}  // namespace

extern "C" {

void *malloc(std::size_t size) {
    return Allocate(size);
}

void free(void *block) {
    if (block == nullptr || block != g_last) return;
    g_next = static_cast<unsigned char *>(block) - kHeader;  // the most recent block comes back
    g_last = HeaderOf(block).previous;
}

void *calloc(std::size_t count, std::size_t size) {
    if (size != 0 && count > SIZE_MAX / size) {
        errno = ENOMEM;
        return nullptr;
    }
    void *block = Allocate(count * size);
    // Fresh arena memory is zero already, but a block taken back and handed out again is not.
    if (block != nullptr) std::memset(block, 0, count * size);
    return block;
}

void *realloc(void *block, std::size_t size) {
    if (block == nullptr) return Allocate(size);
    const std::size_t old_size = BlockSize(block);
    const std::size_t rounded = RoundUp(size == 0 ? 1 : size);
    if (rounded <= old_size) return block;
    auto *bytes = static_cast<unsigned char *>(block);
    // In place only at the arena's end: the block before a freed one can sit in an earlier
    // chunk, whose end is not g_end.
    if (bytes == g_last && bytes + old_size == g_next && static_cast<std::size_t>(g_end - bytes) >= rounded) {
        g_next = bytes + rounded;
        BlockSize(block) = rounded;
        return block;
    }
    void *moved = Allocate(size);
    if (moved != nullptr) std::memcpy(moved, block, old_size);
    return moved;
}

void *aligned_alloc(std::size_t alignment, std::size_t size) {
    if (alignment <= kAlignment) return Allocate(size);
    void *block = Allocate(size + alignment);
    if (block == nullptr) return nullptr;
    const auto address = reinterpret_cast<std::uintptr_t>(block);
    const std::size_t skip = ((address + alignment - 1) & ~(alignment - 1)) - address;
    // The aligned block keeps a header of its own, so that realloc and free still work.
    void *aligned = static_cast<unsigned char *>(block) + skip;
    if (aligned != block) HeaderOf(aligned) = {size, nullptr};
    g_last = nullptr;
    return aligned;
}

void *memalign(std::size_t alignment, std::size_t size) {
    return aligned_alloc(alignment, size);
}

int posix_memalign(void **result, std::size_t alignment, std::size_t size) {
    void *block = aligned_alloc(alignment, size);
    if (block == nullptr) return ENOMEM;
    *result = block;
    return 0;
}

std::size_t malloc_usable_size(void *block) {
    return block == nullptr ? 0 : BlockSize(block);
}

}  // extern "C"

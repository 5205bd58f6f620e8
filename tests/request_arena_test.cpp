// The programs' allocator, linked into this test in place of the C library's.
#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

bool Aligned(const void *block, std::size_t alignment) {
    return reinterpret_cast<std::uintptr_t>(block) % alignment == 0;
}

}  // namespace

TEST(RequestArena, BlocksAreAlignedDistinctAndKeepTheirContents) {
    char *a = static_cast<char *>(std::malloc(3));
    char *b = static_cast<char *>(std::malloc(100));
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(Aligned(a, 16));
    EXPECT_TRUE(Aligned(b, 16));
    EXPECT_GE(b - a, 16);
    std::memset(a, 'a', 3);
    std::memset(b, 'b', 100);
    EXPECT_EQ(a[2], 'a');
    EXPECT_EQ(b[0], 'b');
    EXPECT_GE(malloc_usable_size(b), 100u);
    const auto a_address = reinterpret_cast<std::uintptr_t>(a);
    std::free(a);  // not the most recent: stays where it is
    char *c = static_cast<char *>(std::malloc(3));
    EXPECT_NE(reinterpret_cast<std::uintptr_t>(c), a_address);
    EXPECT_EQ(b[99], 'b');
}

TEST(RequestArena, TheMostRecentBlockIsTakenBackAndComesBackZeroedFromCalloc) {
    char *block = static_cast<char *>(std::malloc(64));
    // Through a volatile pointer: a fill just before free is otherwise a dead store that the
    // compiler removes, and calloc's zeroing would never be tested.
    volatile char *fill = block;
    for (int i = 0; i < 64; ++i) fill[i] = 0x5A;
    const auto address = reinterpret_cast<std::uintptr_t>(block);
    std::free(block);
    char *again = static_cast<char *>(std::calloc(8, 8));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(again), address);
    for (int i = 0; i < 64; ++i) ASSERT_EQ(again[i], 0);
    volatile std::size_t huge = SIZE_MAX / 2;  // an overflowing product is refused
    EXPECT_EQ(std::calloc(huge, 4), nullptr);
}

TEST(RequestArena, ReallocGrowsInPlaceOrMovesWithTheContents) {
    char *block = static_cast<char *>(std::malloc(32));
    std::memset(block, 'x', 32);
    const auto block_address = reinterpret_cast<std::uintptr_t>(block);
    char *grown = static_cast<char *>(std::realloc(block, 4096));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(grown), block_address);  // the most recent block grows in place
    char *other = static_cast<char *>(std::malloc(16));
    asm volatile("" : : "r"(other) : "memory");  // the allocation must really happen
    const auto grown_address = reinterpret_cast<std::uintptr_t>(grown);
    char *moved = static_cast<char *>(std::realloc(grown, 8192));
    EXPECT_NE(reinterpret_cast<std::uintptr_t>(moved), grown_address);
    for (int i = 0; i < 32; ++i) ASSERT_EQ(moved[i], 'x');
    const auto moved_address = reinterpret_cast<std::uintptr_t>(moved);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(std::realloc(moved, 10)), moved_address);  // shrinking keeps it
    std::free(other);
    EXPECT_NE(std::realloc(nullptr, 8), nullptr);
}

// A short-lived object's blocks, freed in reverse order, all come back, and the block made
// before them (a reply's buffer, say) grows in place again.
TEST(RequestArena, BlocksFreedInReverseOrderAllComeBack) {
    char *reply = static_cast<char *>(std::malloc(64));
    std::memset(reply, 'r', 64);
    const auto reply_address = reinterpret_cast<std::uintptr_t>(reply);
    char *object = static_cast<char *>(std::malloc(40));
    char *buffer = static_cast<char *>(std::malloc(32));
    asm volatile("" : : "r"(object), "r"(buffer) : "memory");  // the allocations must really happen
    std::free(buffer);
    std::free(object);
    char *grown = static_cast<char *>(std::realloc(reply, 8192));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(grown), reply_address);
    for (int i = 0; i < 64; ++i) ASSERT_EQ(grown[i], 'r');
}

// The block before a freed one can lie in an earlier chunk than the arena's current one; it
// must move to grow, not grow into memory that ends somewhere else.
TEST(RequestArena, TheBlockBeforeAFreedChunkMovesToGrow) {
    char *block = static_cast<char *>(std::malloc(64));
    std::memset(block, 'b', 64);
    const auto address = reinterpret_cast<std::uintptr_t>(block);
    auto *large = static_cast<unsigned char *>(std::malloc(std::size_t{2} * 1024 * 1024));  // a chunk of its own
    ASSERT_NE(large, nullptr);
    asm volatile("" : : "r"(large) : "memory");
    std::free(large);
    char *grown = static_cast<char *>(std::realloc(block, 4096));
    ASSERT_NE(grown, nullptr);
    EXPECT_NE(reinterpret_cast<std::uintptr_t>(grown), address);
    for (int i = 0; i < 64; ++i) ASSERT_EQ(grown[i], 'b');
}

// A block that fills its chunk to the last byte cannot grow in place: realloc must move it.
TEST(RequestArena, GrowthAtTheEndOfAChunkMoves) {
    // Larger than a chunk, so it gets a chunk of exactly its own size.
    constexpr std::size_t kWhole = std::size_t{2} * 1024 * 1024;
    auto *block = static_cast<unsigned char *>(std::malloc(kWhole));
    ASSERT_NE(block, nullptr);
    std::memset(block, 0x33, kWhole);
    const auto address = reinterpret_cast<std::uintptr_t>(block);
    auto *grown = static_cast<unsigned char *>(std::realloc(block, kWhole + 64));
    ASSERT_NE(grown, nullptr);
    EXPECT_NE(reinterpret_cast<std::uintptr_t>(grown), address) << "grew in place past the end of its chunk";
    std::memset(grown + kWhole, 0x44, 64);
    EXPECT_EQ(grown[0], 0x33);
    EXPECT_EQ(grown[kWhole - 1], 0x33);
}

// A reply built the way json-c prints, by doubling one buffer, to more than the first chunk.
TEST(RequestArena, AReplyLargerThanTheFirstChunkKeepsEveryByte) {
    constexpr std::size_t kReply = std::size_t{3} * 1024 * 1024 + 7;
    std::size_t capacity = 32;
    auto *reply = static_cast<unsigned char *>(std::malloc(capacity));
    ASSERT_NE(reply, nullptr);
    for (std::size_t length = 0; length < kReply; ++length) {
        if (length == capacity) {
            capacity *= 2;
            reply = static_cast<unsigned char *>(std::realloc(reply, capacity));
            ASSERT_NE(reply, nullptr);
        }
        reply[length] = static_cast<unsigned char>(length * 7 % 251);
    }
    char *neighbour = static_cast<char *>(std::malloc(4096));  // must not overlap the reply
    std::memset(neighbour, 0, 4096);
    for (std::size_t i = 0; i < kReply; ++i)
        ASSERT_EQ(reply[i], static_cast<unsigned char>(i * 7 % 251)) << "byte " << i;
}

TEST(RequestArena, AlignedAndLargeBlocks) {
    void *aligned = aligned_alloc(256, 100);
    ASSERT_NE(aligned, nullptr);
    EXPECT_TRUE(Aligned(aligned, 256));
    std::memset(aligned, 1, 100);
    void *grown = std::realloc(aligned, 300);
    ASSERT_NE(grown, nullptr);
    EXPECT_EQ(static_cast<unsigned char *>(grown)[99], 1);
    void *posix = nullptr;
    EXPECT_EQ(posix_memalign(&posix, 64, 10), 0);
    EXPECT_TRUE(Aligned(posix, 64));

    // More than the first chunk: further memory comes from the system.
    const std::size_t large = 3 * 1024 * 1024;
    auto *big = static_cast<unsigned char *>(std::malloc(large));
    ASSERT_NE(big, nullptr);
    big[0] = 1;
    big[large - 1] = 2;
    auto *after = static_cast<unsigned char *>(std::malloc(100));
    ASSERT_NE(after, nullptr);
    after[99] = 3;
    EXPECT_EQ(big[large - 1], 2);
}

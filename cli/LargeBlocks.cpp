// Large blocks of memory on huge pages.
//
// Every command reads a whole image, 2 MiB for most, into a buffer of fresh
// memory. The system gives a process its memory a 4 KiB page at a time, and on a
// virtual machine the first touch of each page costs some microseconds: the 512
// pages of one image were most of the time a short command such as `info`
// takes. A block of 1 MiB or more is therefore taken aligned to 2 MiB and marked
// for transparent huge pages, which the system backs with one page per 2 MiB
// where it can (and with small pages, as before, where it cannot).
//
// Only `operator new` is replaced, and only in this program: the standard
// library's other forms of new call it, and its deletes call free(), which
// takes the blocks of aligned_alloc as it takes those of malloc. The
// sanitizers' builds leave this file out: their allocator must see every block.

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <new>

namespace {

constexpr std::size_t kLargeBlock = std::size_t{1} << 20;
constexpr std::size_t kHugePage = std::size_t{2} << 20;

// A large block on huge pages, or null when none can be had that way.
void* HugePageBlock(std::size_t size) {
    if (size > SIZE_MAX - kHugePage) return nullptr;
    const std::size_t rounded = (size + kHugePage - 1) & ~(kHugePage - 1);
    void* block = std::aligned_alloc(kHugePage, rounded);
#ifdef MADV_HUGEPAGE
    // A hint: refused (no transparent huge pages here), the block is as good.
    if (block != nullptr) ::madvise(block, rounded, MADV_HUGEPAGE);
#endif
    return block;
}

}  // namespace

void* operator new(std::size_t size) {
    if (size >= kLargeBlock) {
        if (void* block = HugePageBlock(size)) return block;
    }
    for (;;) {
        if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
        const std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) throw std::bad_alloc();
        handler();
    }
}

"""How a program's state blocks go on pages: consecutive blocks, each
with its count of figures (a state on a renderer) and its bytes of markup,
on as few pages as keep each page within a bound on both, a block never
cut in two."""


def fill(sizes, figures_per_page, page_bytes):
    """Consecutive blocks, each (figures, bytes), on as few pages as keep
    each within both bounds, each page filled in turn (a block too big for
    a page alone gets one of its own): [[block index] of each page]."""
    pages, figures, size = [[]], 0, 0
    for i, (count, length) in enumerate(sizes):
        if pages[-1] and (figures + count > figures_per_page or size + length > page_bytes):
            pages.append([])
            figures = size = 0
        pages[-1].append(i)
        figures += count
        size += length
    return pages


def spread(sizes, count):
    """The blocks over count pages, about as many figures on each: a block
    goes on the page where the middle of its figures falls."""
    total = sum(figures for figures, _ in sizes) or 1
    pages, before = [[] for _ in range(count)], 0
    for i, (figures, _) in enumerate(sizes):
        pages[min(count - 1, int((before + figures / 2) * count / total))].append(i)
        before += figures
    return [page for page in pages if page]


def split(sizes, figures_per_page, page_bytes):
    """The pages of consecutive blocks, each (figures, bytes): as many as
    filling them in turn takes, the figures then evened out over them
    where that keeps every page within the bounds (rather than a last page
    of one state). Returns [[block index] of each page], one page at least."""
    filled = fill(sizes, figures_per_page, page_bytes)
    even = spread(sizes, len(filled))
    fits = all(sum(sizes[i][0] for i in page) <= figures_per_page
               and sum(sizes[i][1] for i in page) <= page_bytes for page in even)
    return even if even and fits else filled

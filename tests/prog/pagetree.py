"""A report page's HTML as a tree of elements, to find its tables, rows and
links by tag and class: the page as written, or the DOM a browser
serialised (which closes every element that is not void)."""

import html.parser

VOID = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "source",
        "track", "wbr"}


class Element:
    def __init__(self, tag, attrs, parent):
        self.tag, self.attrs, self.parent = tag, dict(attrs), parent
        self.children, self.text = [], ""

    def all(self, tag=None, cls=None):
        """Every element below this one, in document order, of a tag and
        with a class where given."""
        for child in self.children:
            if (tag is None or child.tag == tag) and (
                    cls is None or cls in child.attrs.get("class", "").split()):
                yield child
            yield from child.all(tag, cls)

    def content(self):
        return (self.text + "".join(c.content() for c in self.children)).strip()

    def hidden(self):
        node = self
        while node is not None:
            if "hidden" in node.attrs:
                return True
            node = node.parent
        return False


class Tree(html.parser.HTMLParser):
    """The DOM Chromium serialised, as a tree of Elements (the standard
    library's HTML tokenizer; the serialisation closes every element that
    is not void)."""

    def __init__(self, text):
        super().__init__()
        self.root = self.node = Element("#document", {}, None)
        self.feed(text)

    def handle_starttag(self, tag, attrs):
        element = Element(tag, attrs, self.node)
        self.node.children.append(element)
        if tag not in VOID:
            self.node = element

    def handle_endtag(self, tag):
        node = self.node
        while node is not self.root and node.tag != tag:
            node = node.parent
        if node is not self.root:
            self.node = node.parent

    def handle_data(self, data):
        self.node.text += data


def read(path):
    """The tree of the HTML file at path, whose elements are all closed (as
    index.html's are)."""
    with open(path) as f:
        return Tree(f.read()).root


def matrix_classes(page):
    """{state id: [the classes of each renderer's cell]} of a page's
    results matrix."""
    table = next(page.all("table", "matrix"))
    return {row.attrs["id"]: [c.attrs["class"].split() for c in row.all("td")]
            for row in table.all("tr", "state")}

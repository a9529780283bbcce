// Literals that tree-sitter's Swift grammar does not read yet: raw
// interpolation, raw multi-line strings, more than one '#', hex floats.
extension Greeting {
    var rawText: String {
        #"A raw string with \n kept and \#(name) interpolated, "quotes" too"#
    }

    var rawBlock: String {
        #"""
        Raw block: \(not interpolated) but \#(count) is.
          Indented "quotes" and \\ backslashes.
        """#
    }

    var doubleHash: String {
        ##"Two hashes: "# stays, \##(name) interpolates"##
    }
}

let scale = 0x1p3 + 0x1.8p-1 + 1.5e-3 + 2E+2
let rawPattern = ##"a "# b"##
let template = #"""
    Name: \#(scale)
    Path: C:\temp\new
    """#

extension Parser {
    static let pair = #/
        (?<key>\w+)   # a key
        \s*=\s*
        (?<value>.+)  # its value
        /#
}

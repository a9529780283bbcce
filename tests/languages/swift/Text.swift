import Foundation
#if canImport(RegexBuilder)
import RegexBuilder
#endif

struct Greeting {
    var name: String
    var count: Int

    var short: String {
        "Hello, \(name)!"
    }

    var nested: String {
        "Counts: \(String(count, radix: 16)) and \(["a", "b"].joined(separator: ", "))"
    }

    var letter: String {
        let body = """
            Dear \(name),

              Thank you for your \(count) orders.
            Quotes "like this" and \"escaped\" ones stay.
            A long line that goes on \
            and on.
            """
        return body
    }
}

enum Parser {
    static let digits = #/\d+/#
    static let word = /[a-z]+/

    static func values(in text: String) -> [String: String] {
        var out: [String: String] = [:]
        for line in text.split(separator: "\n") {
            if let match = line.firstMatch(of: pair) {
                out[String(match.key)] = String(match.value)
            }
        }
        return out
    }

    static func count(_ text: String) -> Int {
        text.matches(of: digits).count + text.matches(of: word).count / 2
    }
}

@available(macOS 13.0, iOS 16.0, *)
func demo() async throws -> Int {
    let greeting = Greeting(name: "Ada", count: 3)
    print(greeting.short, greeting.letter, separator: "\n")
    let numbers = [3, 1, 2].sorted(by: >)
    let total = numbers.reduce(into: 0) { sum, n in
        sum += n
    }
    let doubled = numbers.map { $0 * 2 }.filter { $0 > 2 }
    async let later = Task.sleep(nanoseconds: 1_000)
    try await later
    if #available(macOS 14, *) {
        print("new")
    } else if total > 5, let first = doubled.first {
        print(first)
    }
    return total
}

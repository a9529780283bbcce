/* The inventory model: items, their stock and what a store keeps.
   /* Nested comments are fine here. */
 */
import Foundation

/// A kind of goods a store sells.
public enum Category: String, CaseIterable, Codable {
    case food
    case tools
    case `default`

    /// The category's label, as shown to people.
    var label: String {
        switch self {
        case .food: return "Food"
        case .tools:
            return "Tools"
        case .default:
            return "Other"
        }
    }
}

public struct Item: Hashable, Codable {
    public let id: Int
    public var name: String
    public var price: Double
    public var category: Category = .default
    public var tags: [String] = []

    public init(id: Int, name: String, price: Double, category: Category = .default) {
        self.id = id
        self.name = name
        self.price = price
        self.category = category
    }

    /// The price with tax, rounded to cents.
    public func priceWithTax(rate: Double = 0.2) -> Double {
        let raw = price * (1 + rate)
        return (raw * 100).rounded() / 100
    }
}

public protocol Store: AnyObject {
    associatedtype Key: Hashable
    func count(of key: Key) -> Int
    func add(_ key: Key, amount: Int) throws
}

public enum StockError: Error, Equatable {
    case unknown(id: Int)
    case notEnough(id: Int, wanted: Int, have: Int)
}

public final class Stock: Store {
    private var counts: [Int: Int] = [:]
    private var items: [Int: Item] = [:]
    @Published public private(set) var lastChange: Date? = nil
    private let lock = NSLock()

    public init(items: [Item] = []) {
        for item in items where item.price >= 0 {
            self.items[item.id] = item
            counts[item.id, default: 0] += 1
        }
    }

    public func count(of key: Int) -> Int {
        lock.lock()
        defer { lock.unlock() }
        return counts[key] ?? 0
    }

    public func add(_ key: Int, amount: Int) throws {
        guard items[key] != nil else {
            throw StockError.unknown(id: key)
        }
        lock.lock(); defer { lock.unlock() }
        let have = counts[key, default: 0]
        if amount < 0 && -amount > have {
            throw StockError.notEnough(id: key, wanted: -amount, have: have)
        }
        counts[key] = have + amount
        lastChange = Date()
    }

    public var totalValue: Double {
        items.values
            .filter { counts[$0.id, default: 0] > 0 }
            .map { $0.price * Double(counts[$0.id]!) }
            .reduce(0, +)
    }

    public func cheapest(in category: Category? = nil, limit: Int = 3) -> [Item] {
        let pool = items.values.filter { item in
            category == nil || item.category == category!
        }
        return Array(pool.sorted { $0.price < $1.price }.prefix(limit))
    }

    public func report() -> String {
        var lines: [String] = []
        for (id, count) in counts.sorted(by: { $0.key < $1.key }) {
            guard let item = items[id] else { continue }
            lines.append("\(item.name): \(count) × \(String(format: "%.2f", item.price))")
        }
        return lines.joined(separator: "\n")
    }
}

extension Stock: CustomStringConvertible {
    public var description: String { "Stock(\(counts.count) kinds, value \(totalValue))" }
}

func isEven<T: BinaryInteger>(_ value: T) -> Bool where T: Comparable {
    return value % 2 == 0
}

let masks: [UInt8] = [0b1010_0101, 0o17, 0xFF, 1_000 & 0xFF]
let ranges = (0..<10, 1...5, ...3)
var tuple = (1, "one")
tuple.0 += 1
let negative = -tuple.0
let flipped = !isEven(tuple.0)
let bits = ~masks[0] << 2 >> 1
let maybe: Int? = masks.isEmpty ? nil : Int(masks[0])
let forced = maybe!
let chained = maybe?.description.count ?? 0

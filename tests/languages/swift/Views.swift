import SwiftUI

@MainActor
final class ViewModel: ObservableObject {
    @Published var items: [String] = []
    @Published var query = ""
    private var task: Task<Void, Never>?

    var filtered: [String] {
        query.isEmpty
            ? items
            : items.filter { $0.localizedCaseInsensitiveContains(query) }
    }

    func load() {
        task?.cancel()
        task = Task { [weak self] in
            guard let self else { return }
            let loaded = await Self.fetch()
            self.items = loaded
        }
    }

    nonisolated static func fetch() async -> [String] {
        (1...20).map { "Item \($0)" }
    }
}

struct ContentView: View {
    @StateObject private var model = ViewModel()
    @State private var selection: String?
    @Environment(\.colorScheme) var colorScheme

    var body: some View {
        NavigationStack {
            List(model.filtered, id: \.self, selection: $selection) { item in
                Text(item)
                    .font(.body)
                    .foregroundStyle(colorScheme == .dark ? .white : .black)
            }
            .searchable(text: $model.query)
            .navigationTitle("Items")
            .toolbar {
                ToolbarItem(placement: .primaryAction) {
                    Button("Reload") { model.load() }
                }
            }
        }
        .task { model.load() }
    }
}

protocol Shape {
    func area() -> Double
}

struct Circle: Shape {
    var radius: Double
    func area() -> Double { .pi * radius * radius }
}

struct Rectangle: Shape {
    var width, height: Double
    func area() -> Double {
        return width * height
    }
}

func totalArea(_ shapes: [any Shape]) -> Double {
    shapes.reduce(0) { $0 + $1.area() }
}

infix operator <+>: AdditionPrecedence
prefix operator √

func <+> (lhs: Int, rhs: Int) -> Int { lhs * 10 + rhs }
prefix func √ (value: Double) -> Double { value.squareRoot() }

let combined = 1 <+> 2 <+> 3
let root = √16.0

class Node<Value> {
    var value: Value
    weak var parent: Node?
    var children: [Node] = []

    init(_ value: Value) {
        self.value = value
    }

    func add(_ child: Node) {
        child.parent = self
        children.append(child)
    }

    func walk(_ visit: (Value, Int) -> Void, depth: Int = 0) {
        visit(value, depth)
        for child in children {
            child.walk(visit, depth: depth + 1)
        }
    }
}

extension Node where Value: CustomStringConvertible {
    func dump() -> String {
        var out = ""
        walk { value, depth in
            out += String(repeating: "  ", count: depth) + value.description + "\n"
        }
        return out
    }
}

actor Counter {
    private(set) var value = 0
    func increment(by step: Int = 1) -> Int {
        value += step
        return value
    }
}

let tree = Node("root")
tree.add(Node("a"))
tree.add(Node("b"))
print(tree.dump())
let shapes: [any Shape] = [Circle(radius: 1), Rectangle(width: 2, height: 3)]
print(totalArea(shapes), combined, root)
switch shapes.count {
case 0:
    print("none")
case 1...3 where combined > 100:
    print("few")
default:
    break
}
repeat {
    tuple.0 -= 1
} while tuple.0 > 0
var tuple = (3, 4)
let label = { (x: Int) -> String in
    x > 0 ? "positive" : x < 0 ? "negative" : "zero"
}(tuple.1)

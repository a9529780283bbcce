// swift-tools-version:5.9
// The package description of a small command-line tool and its library.
import PackageDescription

let package = Package(
    name: "Inventory",
    platforms: [
        .macOS(.v13),
        .iOS(.v16),
    ],
    products: [
        .executable(name: "inventory", targets: ["InventoryTool"]),
        .library(name: "InventoryKit", targets: ["InventoryKit"]),
    ],
    dependencies: [
        .package(url: "https://example.org/swift-argument-parser.git", from: "1.2.0"),
    ],
    targets: [
        .target(
            name: "InventoryKit",
            dependencies: [],
            swiftSettings: [.define("INVENTORY_DEBUG", .when(configuration: .debug))]
        ),
        .executableTarget(
            name: "InventoryTool",
            dependencies: [
                "InventoryKit",
                .product(name: "ArgumentParser", package: "swift-argument-parser"),
            ]
        ),
        .testTarget(name: "InventoryKitTests", dependencies: ["InventoryKit"]),
    ]
)

#if os(Linux)
package.targets.first?.exclude = ["Apple"]
#endif

package com.example.shapes

import kotlin.properties.Delegates
import kotlin.reflect.KProperty

/** Delegated, lazy and observable properties, constructors and operators. */
open class Vector(val x: Double, val y: Double)
{
    constructor(both: Double) : this(both, both)

    init
    {
        require(!x.isNaN() && !y.isNaN()) { "coordinates must be numbers" }
    }

    operator fun plus(other: Vector) = Vector(x + other.x, y + other.y)
    operator fun minus(other: Vector) = Vector(x - other.x, y - other.y)
    operator fun times(k: Double) = Vector(x * k, y * k)
    operator fun unaryMinus() = Vector(-x, -y)
    operator fun component1() = x
    operator fun component2() = y
    operator fun contains(p: Vector) = p.x <= x && p.y <= y

    val length: Double by lazy { kotlin.math.sqrt(x * x + y * y) }

    override fun equals(other: Any?): Boolean =
        other is Vector &&
            other.x == x &&
            other.y == y

    override fun hashCode() = 31 * x.hashCode() + y.hashCode()

    override fun toString() = "Vector($x, $y)"
}

class Named<T>(private var value: T) {
    operator fun getValue(thisRef: Any?, property: KProperty<*>): T = value
    operator fun setValue(thisRef: Any?, property: KProperty<*>, newValue: T) {
        println("${property.name}: $value -> $newValue")
        value = newValue
    }
}

class Canvas(width: Int, height: Int) {
    var title: String by Named("untitled")
    var scale: Double by Delegates.observable(1.0) { _, old, new ->
        println("scale $old -> $new")
    }
    private val pixels = Array(height) { IntArray(width) }
    var background = 0xFFFFFF
        set(value) {
            field = value and 0xFFFFFF
        }
        get() = field

    fun fill(color: Int, vararg points: Pair<Int, Int>) {
        for ((col, row) in points) {
            pixels[row][col] = color
        }
    }

    fun render(): String = buildString {
        for (row in pixels) {
            appendLine(row.joinToString("") { if (it == 0) "." else "#" })
        }
    }
}

sealed class Shape(val name: String) {
    abstract fun area(): Double

    class Rect(val w: Double, val h: Double) : Shape("rect") {
        override fun area() = w * h
    }

    class Circle(val r: Double) : Shape("circle") {
        override fun area() = Math.PI * r * r
    }

    data class Poly(val points: List<Vector>) : Shape("poly") {
        override fun area(): Double {
            var sum = 0.0
            for (i in points.indices) {
                val (x1, y1) = points[i]
                val (x2, y2) = points[(i + 1) % points.size]
                sum += x1 * y2 - x2 * y1
            }
            return kotlin.math.abs(sum) / 2
        }
    }
}

fun describe(shape: Shape): String =
    when (shape) {
        is Shape.Rect ->
            if (shape.w == shape.h) "square"
            else "rectangle"
        is Shape.Circle -> "circle of radius ${shape.r}"
        is Shape.Poly -> {
            val n = shape.points.size
            "polygon with $n ${if (n == 1) "point" else "points"}"
        }
    }

fun largest(shapes: List<Shape>): Shape? = shapes
    .asSequence()
    .filter { it.area() > 0.0 }
    .sortedByDescending(Shape::area)
    .firstOrNull()

fun report(shapes: List<Shape>, out: Appendable = System.out) {
    val total = shapes.sumOf { it.area() }
    val names = shapes.groupBy { it.name }
        .mapValues { (_, list) -> list.size }
        .entries
        .joinToString { (name, count) -> "$name x$count" }
    out.append("total area: %.2f%n".format(total))
        .append(names)
        .append('\n')
    val biggest = largest(shapes)
        ?.let { describe(it) }
        ?: "none"
    out.append("largest: ").append(biggest)
}

val table = """
    |+--------+--------+
    || shape  | area   |
    |+--------+--------+
    |${listOf("rect", "circle").joinToString("\n") { "| ${it.padEnd(6)} |" }}
    |$ sign and ${'$'}{not a template}
""".trimMargin()

val quotes = """She said "hi" and left"""
val moreQuotes = """ends with a quote""""
val templateInRaw = """${"""nested raw"""} and ${'"'}"""

object Geometry {
    private val cache = HashMap<String, Double>()

    fun area(key: String, compute: () -> Double): Double =
        cache.getOrPut(key, compute)

    @JvmStatic
    @Suppress("NOTHING_TO_INLINE")
    inline fun <T> timed(label: String, block: () -> T): T {
        val start = System.nanoTime()
        try {
            return block()
        } finally {
            println("$label took ${(System.nanoTime() - start) / 1_000_000} ms")
        }
    }
}

fun main() {
    val v = Vector(3.0, 4.0) + Vector(1.0) * 2.0 - -Vector(0.5, 0.5)
    val (a, b) = v
    println("$v has length ${v.length}, parts $a and $b, contains: ${Vector(1.0) in v}")
    val canvas = Canvas(8, 4).apply {
        title = "demo"
        scale = 2.0
        fill(1, 0 to 0, 1 to 1, 2 to 2)
    }
    println(canvas.render())
    val shapes = listOf(
        Shape.Rect(2.0, 3.0),
        Shape.Circle(1.0),
        Shape.Poly(listOf(Vector(0.0, 0.0), Vector(4.0, 0.0), Vector(0.0, 3.0))),
    )
    Geometry.timed("report") { report(shapes) }
    val area = Geometry.area("unit") { 1.0 }
    val result = try {
        shapes.first { it.area() > 100 }
    } catch (e: NoSuchElementException) {
        null
    }
    val sign = if (area > 0) 1 else if (area < 0) -1 else 0
    println(result?.name ?: "no large shape" + sign)
    println(table + quotes + moreQuotes + templateInRaw)
}

@file:JvmName("Inventory")
@file:Suppress("unused", "MemberVisibilityCanBePrivate")

package com.example.inventory

import java.time.Instant
import java.util.concurrent.ConcurrentHashMap
import kotlin.math.*
import kotlinx.coroutines.flow.Flow as KFlow

/**
 * An item kept in stock.
 *
 * @property sku the stock-keeping unit, `[A-Z]{3}-\d+`
 */
data class Item(
    val sku: String,
    val name: String,
    val price: Long = 0L,
    val weight: Double = 1.5e-3,
    val tags: List<String> = emptyList(),
) {
    val label: String
        get() = "$name (${sku.lowercase()})"

    /* A comment /* nested inside */ still a comment. */
    fun priced(factor: Float = 1.0f): Long = (price * factor).toLong()

    companion object {
        const val MAX_PRICE = 1_000_000L
        const val MASK = 0xFF_FF_00_00u
        const val FLAGS = 0x1010_0101
        private val CACHE = ConcurrentHashMap<String, Item>()

        @JvmStatic
        fun of(sku: String): Item? = CACHE[sku]
    }
}

sealed interface Event {
    val at: Instant

    data class Added(val item: Item, override val at: Instant) : Event
    data class Removed(val sku: String, override val at: Instant) : Event
    object Cleared : Event {
        override val at: Instant get() = Instant.EPOCH
    }
}

enum class Unit(val symbol: Char) {
    GRAM('g'),
    KILOGRAM('k'),
    NEWLINE('\n'),
    QUOTE('\''),
    LETTER_A('\u0041');

    fun describe() = when (this) {
        GRAM -> "gram"
        KILOGRAM -> "kilogram"
        else -> "other: $symbol"
    }
}

interface Repository<in K, out V : Any> {
    operator fun get(key: K): V?
    fun all(): Sequence<V>
}

class Stock(private val items: MutableMap<String, Item> = mutableMapOf()) : Repository<String, Item> {
    private var version = 0
        private set

    override operator fun get(key: String): Item? = items[key]

    override fun all(): Sequence<Item> = items.values.asSequence()

    fun add(item: Item): Stock {
        require(item.price >= 0) { "negative price for ${item.sku}" }
        items[item.sku] = item
        version++
        return this
    }

    fun remove(sku: String): Boolean {
        val removed = items.remove(sku) ?: return false
        check(removed.sku == sku)
        --version
        return true
    }

    fun total(): Long = items.values
        .filter { it.price > 0 }
        .map { it.price }
        .fold(0L) { acc, p -> acc + p }

    fun heaviest(): Item? = items.values.maxByOrNull { it.weight }

    fun describe(): String {
        val lines = items.values.sortedBy { it.name }.joinToString(separator = "\n") { item ->
            "${item.name.padEnd(20)} ${item.price}"
        }
        return """
            |Stock, version $version:
            |$lines
            |  total: ${total()} (${'$'} cents)
        """.trimMargin()
    }

    inline fun <reified T : Any> tagged(): List<T> = items.values.filterIsInstance<T>()

    infix fun merge(other: Stock): Stock {
        other.all().forEach(::add)
        return this
    }
}

fun classify(value: Any?): String = when (value) {
    null -> "nothing"
    is Int, is Long -> "integer"
    is String -> if (value.isEmpty()) "empty" else "text"
    in 1..10 -> "small"
    !is Number -> "other"
    else -> "number"
}

fun search(grid: Array<IntArray>, target: Int): Pair<Int, Int>? {
    outer@ for (row in grid.indices) {
        for (col in 0 until grid[row].size) {
            if (grid[row][col] == target) return row to col
            if (grid[row][col] > target) continue@outer
            if (grid[row][col] < 0) break@outer
        }
    }
    return null
}

fun parse(text: String): List<Int> {
    val result = ArrayList<Int>()
    text.split(',').forEach token@{ raw ->
        val trimmed = raw.trim()
        if (trimmed.isEmpty()) return@token
        val n = trimmed.toIntOrNull() ?: throw IllegalArgumentException("not a number: \"$trimmed\"")
        result += n
    }
    return result
}

fun ranges() {
    for (i in 0..10 step 2) print(i)
    for (i in 10 downTo 0) print(i)
    val evens = (1..100).filter { it % 2 == 0 }.map { it * it }
    val maybe: String? = null
    val length = maybe?.length ?: -1
    val forced = maybe!!.length
    val cast = evens as? List<Int>
    val safe = cast?.firstOrNull()
        ?.plus(1)
        ?: 0
    println("$length $forced $safe ${evens.size}")
}

class Node<T>(val value: T, val children: List<Node<T>> = listOf()) {
    fun depth(): Int = 1 + (children.maxOfOrNull { it.depth() } ?: 0)

    inner class Walker {
        fun visit(action: (T) -> Unit) {
            action(this@Node.value)
            children.forEach { it.Walker().visit(action) }
        }
    }
}

fun `names with spaces work`() {
    val `class` = "keyword as a name"
    println(`class`)
}

suspend fun fetch(url: String, retries: Int = 3): Result<String> = runCatching {
    var attempt = 0
    while (attempt < retries) {
        attempt += 1
        if (url.startsWith("https://") && attempt > 1) break
    }
    "fetched $url after $attempt tries"
}

typealias Handler = (event: Event) -> Boolean

val handlers: MutableList<Handler> = mutableListOf(
    { event -> event is Event.Added },
    { it !is Event.Cleared },
)

fun regex(): Regex = Regex("""^\d{3}-\d{4}$""")

fun json(name: String, count: Int) = """
    {
      "name": "$name",
      "count": $count,
      "nested": "${if (count > 0) "yes" else "no"}"
    }
""".trimIndent()

fun bits(x: Int): Int = (x shl 2) or (x ushr 1) and 0x0F xor -0x01

object Registry {
    private val entries = mutableMapOf<String, () -> Any>()

    fun register(name: String, factory: () -> Any) {
        entries[name] = factory
    }

    operator fun invoke(name: String): Any = entries.getValue(name)()
}

abstract class Shape {
    abstract val area: Double
    open fun scale(by: Double): Shape = this
}

class Circle(private val r: Double) : Shape() {
    override val area get() = PI * r.pow(2)
    override fun scale(by: Double) = Circle(r * by)
}

fun main(args: Array<String>) {
    val stock = Stock()
        .add(Item("ABC-1", "Apple", price = 120))
        .add(Item(sku = "ABC-2", name = "Banana", tags = listOf("fruit", "yellow")))
    println(stock.describe())
    val total = stock.total() +
        stock.all().count() -
        1
    val ok = total > 0 &&
        stock.heaviest() != null ||
        args.isNotEmpty()
    val (first, second) = Pair(1, "two")
    val lambda: (Int, Int) -> Int = { a, b -> a + b }
    val anonymous = fun(x: Int): Int { return x * 2 }
    val reference = String::length
    val array = arrayOf(1, 2, 3)
    println(*array)
    println(classify(42) + search(arrayOf(intArrayOf(1, 2)), 2) + parse("1, 2,3"))
    println(lambda(first, 2) + anonymous(3) + reference("four") + if (ok) 1 else 0)
    try {
        Registry("missing")
    } catch (e: NoSuchElementException) {
        println("missing: ${e.message}")
    } finally {
        println("done")
    }
}

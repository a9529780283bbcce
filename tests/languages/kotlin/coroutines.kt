package com.example.async

import kotlinx.coroutines.*
import kotlinx.coroutines.channels.Channel
import kotlinx.coroutines.flow.*

private const val TAG = "async"

@Target(AnnotationTarget.FUNCTION, AnnotationTarget.CLASS)
@Retention(AnnotationRetention.RUNTIME)
annotation class Traced(val name: String = "", val level: Int = 0)

@Traced(name = "producer", level = 2)
fun CoroutineScope.produceNumbers(limit: Int) = flow {
    var i = 0
    while (i < limit) {
        emit(i++)
        delay(10L)
    }
}.flowOn(Dispatchers.Default)

class Pipeline<T : Comparable<T>>(private val scope: CoroutineScope) where T : Any {
    private val channel = Channel<T>(capacity = Channel.BUFFERED)
    private val results = mutableListOf<T>()

    fun start(source: Flow<T>): Job = scope.launch {
        source
            .filter { value -> value > zero() }
            .onEach { channel.send(it) }
            .catch { e -> println("$TAG: failed with ${e::class.simpleName}") }
            .collect()
        channel.close()
    }

    @Suppress("UNCHECKED_CAST")
    private fun zero(): T = 0 as T

    suspend fun drain(): List<T> {
        for (value in channel) {
            results.add(value)
        }
        return results.sorted()
    }
}

interface Predicate<in T> {
    fun test(value: T): Boolean
}

val isPositive = object : Predicate<Int> {
    override fun test(value: Int) = value > 0
}

fun <T> List<T>.second(): T = this[1]

val <T> List<T>.penultimate: T
    get() = this[size - 2]

fun String.shout(): String = uppercase() + "!"

fun escapes(): String {
    val tab = "a\tb"
    val quote = "say \"hi\""
    val dollar = "costs \$5 or ${'$'}6"
    val unicode = "caf\u00e9"
    val backslash = "C:\\Users\\me"
    return tab + quote + dollar + unicode + backslash
}

fun templates(user: Map<String, Any>): String {
    val name = user["name"] as? String ?: "anonymous"
    val nested = "outer ${"inner ${name.length} braces {}"} end"
    val lambdaInside = "sum: ${listOf(1, 2, 3).sumOf { n -> n * 2 }}"
    val raw = """
        |name: $name
        |map: ${user.entries.joinToString { (k, v) -> "$k=$v" }}
        |quotes: "" and "one" inside
    """.trimMargin()
    return nested + lambdaInside + raw
}

tailrec fun gcd(a: Long, b: Long): Long = if (b == 0L) a else gcd(b, a % b)

fun numbers() = listOf(
    0, 1, -1, 42, 1_000_000, 0x7FFF_FFFF, 0x1111, 123L, 7u, 9UL,
    1.0, .5, 2.5e10, 3.0E-4, 1f, 6.02e+23F,
)

fun checks(x: Int, list: List<Int>?) {
    if (x in 1..9 && x !in listOf(3, 5) || list.isNullOrEmpty()) {
        println("range")
    } else if (x === 0 || x !== -1) {
        println("identity")
    }
    val y = x.takeIf { it >= 0 }?.let { it * 2 } ?: run {
        println("negative")
        0
    }
    list?.forEachIndexed { index, value ->
        println("$index: $value ${y + value}")
    }
}

fun main() = runBlocking {
    val pipeline = Pipeline<Int>(this)
    val job = pipeline.start(produceNumbers(20))
    job.join()
    println(pipeline.drain().joinToString())
    println(gcd(48, 18) + listOf(1, 2, 3).second() + listOf(4, 5, 6).penultimate)
    println("done".shout() + escapes() + templates(mapOf("name" to "Ada")))
    numbers().forEach(::println)
    checks(4, null)
    repeat(3) { i ->
        launch { delay(i * 5L); println("tick $i") }
    }
}

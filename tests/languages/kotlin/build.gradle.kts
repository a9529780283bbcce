#!/usr/bin/env kotlin

import org.jetbrains.kotlin.gradle.tasks.KotlinCompile

plugins {
    kotlin("jvm") version "1.9.22"
    `java-library`
    id("org.jetbrains.dokka") version "1.9.10" apply false
}

group = "com.example"
version = "1.0-SNAPSHOT"

repositories {
    mavenCentral()
    maven { url = uri("https://repo.example.org/releases") }
}

val integrationTest: SourceSet by sourceSets.creating {
    compileClasspath += sourceSets.main.get().output
    runtimeClasspath += sourceSets.main.get().output
}

dependencies {
    implementation(kotlin("stdlib"))
    implementation("org.jetbrains.kotlinx:kotlinx-coroutines-core:1.7.3")
    testImplementation("org.junit.jupiter:junit-jupiter:5.10.1")
    "integrationTestImplementation"(project(":core"))
}

tasks.withType<KotlinCompile>().configureEach {
    kotlinOptions {
        jvmTarget = "17"
        freeCompilerArgs = freeCompilerArgs + listOf("-Xjsr305=strict", "-opt-in=kotlin.RequiresOptIn")
    }
}

tasks.test {
    useJUnitPlatform()
    maxParallelForks = (Runtime.getRuntime().availableProcessors() / 2).coerceAtLeast(1)
    testLogging {
        events("passed", "skipped", "failed")
    }
}

val generateVersion by tasks.registering {
    val out = layout.buildDirectory.file("generated/Version.kt")
    outputs.file(out)
    doLast {
        out.get().asFile.writeText(
            """
            package com.example

            const val VERSION = "${project.version}"
            const val BUILT = ${System.currentTimeMillis()}L
            """.trimIndent()
        )
    }
}

tasks.register<Copy>("bundle") {
    from(tasks.named("jar"))
    into(layout.buildDirectory.dir("bundle"))
    rename { name -> name.replace("-SNAPSHOT", "") }
    if (project.hasProperty("release")) {
        dependsOn(generateVersion)
    } else {
        logger.lifecycle("not a release: ${project.name}")
    }
}

package com.corvane.ambrix.child;

import static java.util.concurrent.TimeUnit.SECONDS;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;

import java.util.concurrent.CompletableFuture;
import java.util.concurrent.atomic.AtomicInteger;
import org.junit.jupiter.api.Test;

class ParentWatcherTest {
    @Test
    void theParentIdFollowsTheLastParenthesisOfTheCommandName() {
        assertEquals(4321L, ParentWatcher.parseParentPid("1234 (java) S 4321 1234 1234 0 -1"));
        assertEquals(77L, ParentWatcher.parseParentPid("1234 (a) b) (c) R 77 1 1"));
        assertNull(ParentWatcher.parseParentPid("garbage"));
    }

    @Test
    void theWatcherActsOnceTheParentIsGone() throws Exception {
        AtomicInteger checks = new AtomicInteger();
        CompletableFuture<Integer> gone = new CompletableFuture<>();
        new ParentWatcher(() -> checks.incrementAndGet() < 3, 1, () -> gone.complete(checks.get())).start();
        assertEquals(3, gone.get(5, SECONDS));
    }
}
